// The one way a handler runs a key flow: the flow runs with the key held by the key guard (no rescan, check
// or registration meanwhile) under the hourglass, and its result is handed to a continuation on the window
// thread, where the handler turns it into messages. Today the flow runs on the window thread itself; a
// handler never relies on that, so the flow can move to a worker without touching the handlers.
#pragma once

#include "key_guard.h"
#include "wait_cursor.h"

#include <QObject>
#include <type_traits>
#include <utility>

namespace ui {

class KeyOperationRunner : public QObject {
    Q_OBJECT
public:
    KeyOperationRunner(KeyGuard& guard, QObject* parent) : QObject(parent), guard_(guard) {}

    // Runs `flow()` and then `done(result)`. `done` runs after the guard is released, so it may show
    // messages and start other work.
    template <typename Flow, typename Done> void run(Flow&& flow, Done&& done) {
        using Result = std::invoke_result_t<Flow>;
        Result result = held(std::forward<Flow>(flow));
        std::forward<Done>(done)(std::move(result));
    }

    // True while a flow runs.
    bool running() const { return running_ > 0; }

private:
    template <typename Flow> auto held(Flow&& flow) {
        const KeyGuard::Hold hold(guard_);
        const WaitCursor hourglass;
        const Running running(running_);
        return std::forward<Flow>(flow)();
    }

    struct Running {
        explicit Running(int& count) : count_(count) { ++count_; }
        ~Running() { --count_; }
        int& count_;
    };

    KeyGuard& guard_;
    int running_ = 0;
};

} // namespace ui
