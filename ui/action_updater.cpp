#include "action_updater.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QWidget>
#include <algorithm>

namespace ui {

ActionUpdater::ActionUpdater(QObject* parent) : QObject(parent) {
    if (auto* dispatcher = QAbstractEventDispatcher::instance(thread()))
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &ActionUpdater::runOnce);
}

void ActionUpdater::add(QAction* action, std::function<void()> handler) {
    entries_.push_back({action, std::move(handler)});
    connect(action, &QObject::destroyed, this, [this, action] {
        std::erase_if(entries_, [action](const Entry& entry) { return entry.action == action; });
    });
}

void ActionUpdater::runOnce() {
    if (running_)
        return; // a handler that opens a dialog starts a nested event loop
    running_ = true;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (isShowing(entries_[i].action))
            entries_[i].handler();
    }
    running_ = false;
}

bool ActionUpdater::isShowing(const QAction* action) {
    const auto objects = action->associatedObjects();
    return std::any_of(objects.begin(), objects.end(), [](QObject* object) {
        auto* widget = qobject_cast<QWidget*>(object);
        return widget && widget->isVisible();
    });
}

} // namespace ui
