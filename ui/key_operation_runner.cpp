#include "key_operation_runner.h"

#include "busy_indicator.h"
#include "input_hold.h"

#include <QApplication>
#include <QMetaObject>

namespace ui {

KeyOperationRunner::KeyOperationRunner(KeyGuard& guard, QObject* parent)
    : QObject(parent), guard_(guard), inputHold_(new InputHold(this)) {}

KeyOperationRunner::~KeyOperationRunner() {
    constexpr int kWaitOnDestructionMs = 30000;
    finish(kWaitOnDestructionMs);
}

void KeyOperationRunner::setKeyArea(QWidget& pages, const std::vector<QWidget*>& heldWidgets) {
    busy_ = new BusyIndicator(pages);
    inputHold_->setHeldWidgets(heldWidgets);
}

bool KeyOperationRunner::finish(int timeoutMs) {
    {
        const std::lock_guard<std::mutex> lock(delivery_->mutex);
        delivery_->open = false;
    }
    const bool ended = worker_.finish(timeoutMs);
    // No continuation comes any more: what the operations under way hold is given back here.
    while (!holds_.empty())
        operationEnded();
    running_ = 0;
    return ended;
}

void KeyOperationRunner::operationStarted(Shown shown) {
    ++running_;
    holds_.push_back(std::make_unique<Holding>(guard_, shown));
    if (shown == Shown::No)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    inputHold_->hold();
    if (busy_)
        busy_->operationStarted();
}

void KeyOperationRunner::operationEnded() {
    const std::unique_ptr<Holding> ended = std::move(holds_.front());
    holds_.pop_front();
    if (ended->shown == Shown::No)
        return;
    if (busy_)
        busy_->operationEnded();
    inputHold_->release();
    QApplication::restoreOverrideCursor();
}

void KeyOperationRunner::deliver(QObject* runner, const std::shared_ptr<Delivery>& delivery,
                                 std::function<void()> continuation) {
    // Under the lock the runner cannot finish (and so not be destroyed) while the continuation is posted;
    // once posted, Qt drops it if the runner goes before it runs.
    const std::lock_guard<std::mutex> lock(delivery->mutex);
    if (delivery->open)
        QMetaObject::invokeMethod(runner, std::move(continuation), Qt::QueuedConnection);
}

} // namespace ui
