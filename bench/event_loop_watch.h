// Watches the window thread's event loop: the longest stretch between the thread leaving its wait for events
// and coming back to it, that is the longest time the window could not repaint or react.
#pragma once

#include <QAbstractEventDispatcher>
#include <QElapsedTimer>
#include <QObject>
#include <algorithm>

// The longest stretch between the thread leaving its event loop's wait and coming back to it.
class LoopWatch {
public:
    // `busyNow`: the watch starts while the thread is working, not waiting.
    explicit LoopWatch(QAbstractEventDispatcher* dispatcher, bool busyNow = false) : busy_(busyNow) {
        clock_.start();
        QObject::connect(dispatcher, &QAbstractEventDispatcher::awake, [this] { mark(true); });
        QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, [this] { mark(false); });
    }
    // The longest stretch so far, the one still open included.
    qint64 longestBusyMs() const {
        const qint64 open = busy_ ? clock_.nsecsElapsed() - since_ : 0;
        return std::max(longest_, open) / 1000000;
    }

private:
    void mark(bool awake) {
        const qint64 now = clock_.nsecsElapsed();
        if (busy_)
            longest_ = std::max(longest_, now - since_);
        busy_ = awake;
        since_ = now;
    }

    QElapsedTimer clock_;
    qint64 since_ = 0;
    qint64 longest_ = 0;
    bool busy_ = false;
};
