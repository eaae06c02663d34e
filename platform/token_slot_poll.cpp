#include "token_slot_poll.h"

#include <QPointer>
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
    if (!changed_)
        return;
    changed_([poll = QPointer<TokenSlotPoll>(this)](bool changed) {
        if (changed && poll)
            emit poll->tokensChanged();
    });
}

} // namespace platform
