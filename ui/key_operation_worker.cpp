#include "key_operation_worker.h"

#include <chrono>

namespace ui {

KeyOperationWorker::KeyOperationWorker() : queue_(std::make_shared<Queue>()) {
    // The thread shares the queue, not the worker: a thread left running after finish() outlives it safely.
    thread_ = std::thread(&KeyOperationWorker::work, queue_);
    threadId_ = thread_.get_id();
}

KeyOperationWorker::~KeyOperationWorker() {
    constexpr int kWaitOnDestructionMs = 30000;
    finish(kWaitOnDestructionMs);
}

void KeyOperationWorker::post(std::function<void()> job) {
    {
        const std::lock_guard<std::mutex> lock(queue_->mutex);
        if (queue_->stopping)
            return;
        queue_->jobs.push_back(std::move(job));
    }
    queue_->changed.notify_one();
}

bool KeyOperationWorker::finish(int timeoutMs) {
    if (!thread_.joinable())
        return true;
    std::unique_lock<std::mutex> lock(queue_->mutex);
    queue_->stopping = true;
    queue_->jobs.clear();
    queue_->changed.notify_all();
    const bool ended = queue_->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                                [this] { return queue_->ended; });
    lock.unlock();
    if (ended)
        thread_.join();
    else
        thread_.detach();
    return ended;
}

void KeyOperationWorker::work(const std::shared_ptr<Queue>& queue) {
    std::unique_lock<std::mutex> lock(queue->mutex);
    for (;;) {
        queue->changed.wait(lock, [&] { return queue->stopping || !queue->jobs.empty(); });
        if (queue->jobs.empty())
            break;
        std::function<void()> job = std::move(queue->jobs.front());
        queue->jobs.pop_front();
        lock.unlock();
        job();
        job = nullptr; // what the job holds goes on this thread, before the next one starts
        lock.lock();
    }
    queue->ended = true;
    queue->changed.notify_all();
}

} // namespace ui
