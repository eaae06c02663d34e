#include "token_slot_poll.h"

#include <QTimer>

namespace platform {

TokenSlotPoll::TokenSlotPoll(ChangeQuery changed, QObject* parent)
    : QObject(parent), changed_(std::move(changed)), timer_(new QTimer(this)) {
    timer_->setObjectName(QStringLiteral("TokenSlotPoll"));
    timer_->setInterval(kIntervalMs);
    connect(timer_, &QTimer::timeout, this, &TokenSlotPoll::poll);
    timer_->start();
}

void TokenSlotPoll::poll() {
    if (changed_ && changed_())
        emit tokensChanged();
}

} // namespace platform
