// The one thread beside the window that makes the window's library calls, one job after another in the order
// they were posted, so the library and the token operations layer never run two calls at once and a slow
// token never stalls the window.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace ui {

class KeyOperationWorker {
public:
    KeyOperationWorker();
    // Waits for the job that runs (see finish()).
    ~KeyOperationWorker();
    KeyOperationWorker(const KeyOperationWorker&) = delete;
    KeyOperationWorker& operator=(const KeyOperationWorker&) = delete;

    // Queues `job`; it runs on the worker thread after the jobs posted before it. Jobs posted after finish()
    // never run.
    void post(std::function<void()> job);

    // Drops the jobs that have not started and waits up to `timeoutMs` for the running one. True when the
    // thread has ended; false when the job still runs after the wait: the thread is then left to end by
    // itself, so closing the program is never held up by a token that does not answer.
    bool finish(int timeoutMs);

    // True on the worker thread.
    bool onWorkerThread() const { return std::this_thread::get_id() == threadId_; }

private:
    struct Queue {
        std::mutex mutex;
        std::condition_variable changed;
        std::deque<std::function<void()>> jobs;
        bool stopping = false;
        bool ended = false;
    };
    static void work(const std::shared_ptr<Queue>& queue);

    std::shared_ptr<Queue> queue_;
    std::thread thread_;
    std::thread::id threadId_;
};

} // namespace ui
