// Tokens of PKCS#11 modules inserted or removed. Their modules raise no device event this program can wait
// for without a thread, so their slot lists are asked at a slow interval through the function given: it asks
// the token library (a slot list is cheap and never waits) and answers false without asking while the
// library is busy, so the window thread never waits for the library's lock.
#pragma once

#include <QObject>
#include <functional>

class QTimer;

namespace platform {

class TokenSlotPoll : public QObject {
    Q_OBJECT
public:
    using ChangeQuery = std::function<bool()>;
    static constexpr int kIntervalMs = 2000;

    // Starts polling at once; `changed` answers whether the tokens differ from the last scan.
    TokenSlotPoll(ChangeQuery changed, QObject* parent = nullptr);

    // Asks once, as the timer does, and raises tokensChanged() when the answer is yes.
    void poll();

signals:
    void tokensChanged();

private:
    ChangeQuery changed_;
    QTimer* timer_;
};

} // namespace platform
