// The key operation runner: the flow runs with the key held and the hourglass shown, and its result reaches
// the continuation after both are gone, so a continuation may ask questions and start other work.
#include "ui/key_guard.h"
#include "ui/key_operation_runner.h"

#include <QApplication>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

TEST(KeyOperationRunnerTest, TheFlowRunsHeldAndItsResultArrivesAfterTheRelease) {
    ui::KeyGuard guard;
    ui::KeyOperationRunner runner(guard, nullptr);
    bool heldDuringFlow = false;
    bool hourglassDuringFlow = false;
    bool heldInContinuation = true;
    std::string received;
    runner.run(
        [&] {
            heldDuringFlow = guard.busy() && runner.running();
            const QCursor* cursor = QApplication::overrideCursor();
            hourglassDuringFlow = cursor && cursor->shape() == Qt::WaitCursor;
            return std::string("done");
        },
        [&](const std::string& result) {
            heldInContinuation = guard.busy() || runner.running();
            received = result;
        });
    EXPECT_TRUE(heldDuringFlow);
    EXPECT_TRUE(hourglassDuringFlow);
    EXPECT_FALSE(heldInContinuation);
    EXPECT_EQ(received, "done");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(KeyOperationRunnerTest, AContinuationMayRunTheNextFlow) {
    ui::KeyGuard guard;
    ui::KeyOperationRunner runner(guard, nullptr);
    std::vector<int> order;
    runner.run([] { return 1; },
               [&](int first) {
                   order.push_back(first);
                   runner.run([] { return 2; }, [&](int second) { order.push_back(second); });
               });
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_FALSE(guard.busy());
}

} // namespace
