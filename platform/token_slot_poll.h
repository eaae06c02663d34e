// Tokens of PKCS#11 modules inserted or removed. Their modules raise no device event this program can wait
// for, so their slot lists are asked at a slow interval through the function given: it has the token
// library asked beside the window thread (a slow token's slot list takes its time) and hands the answer
// back on the window thread, or asks nothing while the library is busy.
#pragma once

#include <QObject>
#include <functional>

class QTimer;

namespace platform {

class TokenSlotPoll : public QObject {
    Q_OBJECT
public:
    // Calls its argument with true when the tokens differ from the last scan, later or never.
    using ChangeQuery = std::function<void(std::function<void(bool)> answer)>;
    static constexpr int kIntervalMs = 2000;

    // Starts polling at once; `changed` answers whether the tokens differ from the last scan.
    TokenSlotPoll(ChangeQuery changed, QObject* parent = nullptr);

    // Asks once, as the timer does; tokensChanged() follows when the answer is yes.
    void poll();

signals:
    void tokensChanged();

private:
    ChangeQuery changed_;
    QTimer* timer_;
};

} // namespace platform
