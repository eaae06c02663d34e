// The one way a handler runs a key flow. The flow runs on the key operation worker, beside the window
// thread, one flow after another; from run() until the continuation has returned the key guard is held (no
// rescan, check or registration meanwhile), the hourglass shows, the user's input to the key's pages and
// tree is held back, and after half a second a busy indicator moves over the pages. The result comes back
// to the continuation on the window thread, after the guard and the hourglass are released, where the
// handler turns it into messages. A flow and its continuation capture by value: the continuation runs after
// run() has returned.
#pragma once

#include "key_guard.h"
#include "key_operation_worker.h"

#include <QObject>
#include <QPointer>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

class QWidget;

namespace ui {

class BusyIndicator;
class InputHold;

class KeyOperationRunner : public QObject {
    Q_OBJECT
public:
    KeyOperationRunner(KeyGuard& guard, QObject* parent);
    ~KeyOperationRunner() override;

    // The pages the busy indicator moves over and the widgets (the pages and the key tree) whose input is
    // held while an operation runs.
    void setKeyArea(QWidget& pages, const std::vector<QWidget*>& heldWidgets);

    // Runs `flow()` on the worker and then `done(result)` on the window thread.
    template <typename Flow, typename Done> void run(Flow&& flow, Done&& done) {
        start(Shown::Yes, std::forward<Flow>(flow), std::forward<Done>(done));
    }
    // The same for work the user did not ask for (the poll for tokens): the key is held and the flow queued
    // like any other, but no hourglass, busy indicator or held input shows it.
    template <typename Flow, typename Done> void runInBackground(Flow&& flow, Done&& done) {
        start(Shown::No, std::forward<Flow>(flow), std::forward<Done>(done));
    }

    // True from run() until the continuation has returned, as long as any operation is under way.
    bool running() const { return running_ > 0; }

    // Drops the operations that have not started and waits up to `timeoutMs` for the one that runs; no
    // continuation runs afterwards. Called before the library shuts down. False when the wait ran out.
    bool finish(int timeoutMs);

private:
    enum class Shown { No, Yes };

    template <typename Flow, typename Done> void start(Shown shown, Flow&& flow, Done&& done) {
        using Operation = KeyOperation<std::decay_t<Flow>, std::decay_t<Done>>;
        auto operation = std::make_shared<Operation>(std::forward<Flow>(flow), std::forward<Done>(done));
        operationStarted(shown);
        worker_.post([this, operation, delivery = delivery_] {
            operation->runFlow();
            deliver(this, delivery, [this, operation] {
                operationEnded();
                const Finished finished(running_);
                operation->handOver();
            });
        });
    }

    template <typename Flow, typename Done> struct KeyOperation {
        using Result = std::decay_t<std::invoke_result_t<Flow&>>;
        KeyOperation(Flow f, Done d) : flow(std::move(f)), done(std::move(d)) {}
        void runFlow() {
            try {
                result.emplace(flow());
            } catch (...) {
                failure = std::current_exception();
            }
        }
        void handOver() {
            if (failure)
                std::rethrow_exception(failure);
            done(std::move(*result));
        }
        Flow flow;
        Done done;
        std::optional<Result> result;
        std::exception_ptr failure;
    };

    // Whether continuations may still be posted to this runner; shared with the worker's jobs.
    struct Delivery {
        std::mutex mutex;
        bool open = true;
    };

    struct Finished {
        explicit Finished(int& count) : count_(count) {}
        ~Finished() { --count_; }
        int& count_;
    };

    // What an operation under way holds until its continuation runs; operations end in the order they
    // started, as the one worker runs them in turn.
    struct Holding {
        explicit Holding(KeyGuard& guard, Shown shown) : hold(guard), shown(shown) {}
        KeyGuard::Hold hold;
        Shown shown;
    };

    void operationStarted(Shown shown);
    void operationEnded();
    // Posts `continuation` to `runner`'s thread unless the runner has finished. Static: a flow that outlived
    // the wait of finish() calls it after the runner may be gone.
    static void deliver(QObject* runner, const std::shared_ptr<Delivery>& delivery,
                        std::function<void()> continuation);

    KeyGuard& guard_;
    KeyOperationWorker worker_;
    std::shared_ptr<Delivery> delivery_ = std::make_shared<Delivery>();
    std::deque<std::unique_ptr<Holding>> holds_;
    QPointer<BusyIndicator> busy_;
    InputHold* inputHold_ = nullptr;
    int running_ = 0;
};

} // namespace ui
