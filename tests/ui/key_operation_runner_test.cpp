// The key operation runner: the flow runs beside the window thread with the key held, the hourglass shown
// and the key's pages taking no input; its result reaches the continuation on the window thread after the
// guard and the hourglass are released, while running() stays true until the continuation has returned.
#include "ui/busy_indicator.h"
#include "ui/key_guard.h"
#include "ui/key_operation_runner.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QLineEdit>
#include <QTest>
#include <QThread>
#include <QWidget>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

void waitUntilIdle(const ui::KeyOperationRunner& runner) {
    const QDeadlineTimer deadline(20000);
    while (runner.running() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    ASSERT_FALSE(runner.running());
}

TEST(KeyOperationRunnerTest, TheFlowRunsHeldBesideTheWindowThreadAndItsResultArrivesOnIt) {
    ui::KeyGuard guard;
    ui::KeyOperationRunner runner(guard, nullptr);
    auto flowThread = std::make_shared<QThread*>(nullptr);
    QThread* doneThread = nullptr;
    bool heldInContinuation = true;
    bool runningInContinuation = false;
    std::string received;
    runner.run(
        [flowThread] {
            *flowThread = QThread::currentThread();
            return std::string("done");
        },
        [&](const std::string& result) {
            doneThread = QThread::currentThread();
            heldInContinuation = guard.busy();
            runningInContinuation = runner.running();
            received = result;
        });
    // Until the result is back the key is held and the hourglass shows.
    EXPECT_TRUE(guard.busy());
    EXPECT_TRUE(runner.running());
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    waitUntilIdle(runner);
    EXPECT_NE(*flowThread, QApplication::instance()->thread());
    EXPECT_EQ(doneThread, QApplication::instance()->thread());
    EXPECT_FALSE(heldInContinuation);
    EXPECT_TRUE(runningInContinuation);
    EXPECT_EQ(received, "done");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(KeyOperationRunnerTest, FlowsRunOneAtATimeInTheOrderTheyWereStartedAndMayChain) {
    ui::KeyGuard guard;
    ui::KeyOperationRunner runner(guard, nullptr);
    auto inFlow = std::make_shared<std::atomic<int>>(0);
    auto overlapped = std::make_shared<std::atomic<bool>>(false);
    auto slowFlow = [inFlow, overlapped](int value) {
        return [inFlow, overlapped, value] {
            if (++*inFlow > 1)
                *overlapped = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            --*inFlow;
            return value;
        };
    };
    std::vector<int> order;
    runner.run(slowFlow(1), [&](int value) {
        order.push_back(value);
        runner.run(slowFlow(4), [&](int next) { order.push_back(next); });
    });
    runner.run(slowFlow(2), [&](int value) { order.push_back(value); });
    runner.run(slowFlow(3), [&](int value) { order.push_back(value); });
    waitUntilIdle(runner);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_FALSE(*overlapped);
    EXPECT_FALSE(guard.busy());
}

TEST(KeyOperationRunnerTest, TheWindowThreadKeepsAnsweringWhileAFlowRuns) {
    ui::KeyGuard guard;
    ui::KeyOperationRunner runner(guard, nullptr);
    auto release = std::make_shared<std::atomic<bool>>(false);
    bool done = false;
    runner.run(
        [release] {
            while (!*release)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            return 0;
        },
        [&](int) { done = true; });
    // A timer of the window thread fires while the flow is still waiting for its release.
    bool ticked = false;
    QTimer::singleShot(10, [&] {
        ticked = true;
        *release = true;
    });
    waitUntilIdle(runner);
    EXPECT_TRUE(ticked);
    EXPECT_TRUE(done);
}

TEST(KeyOperationRunnerTest, InputToTheKeysPagesIsHeldAndTheBusyIndicatorComesAfterHalfASecond) {
    ui::KeyGuard guard;
    ui::KeyOperationRunner runner(guard, nullptr);
    QWidget window;
    window.resize(300, 200);
    auto* pages = new QWidget(&window);
    pages->resize(300, 150);
    auto* field = new QLineEdit(pages);
    auto* outside = new QLineEdit(&window);
    outside->move(0, 160);
    runner.setKeyArea(*pages, {pages});
    window.show();
    auto* busy = pages->findChild<ui::BusyIndicator*>(QStringLiteral("busyIndicator"));
    ASSERT_NE(busy, nullptr);

    auto release = std::make_shared<std::atomic<bool>>(false);
    runner.run(
        [release] {
            while (!*release)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            return 0;
        },
        [](int) {});
    QTest::keyClicks(field, QStringLiteral("abc"));
    QTest::keyClicks(outside, QStringLiteral("xyz"));
    EXPECT_TRUE(field->text().isEmpty());
    EXPECT_EQ(outside->text(), QStringLiteral("xyz"));
    EXPECT_FALSE(busy->isVisible());
    QTest::qWait(ui::BusyIndicator::kDelayMs + 200);
    EXPECT_TRUE(busy->isVisible());

    *release = true;
    waitUntilIdle(runner);
    EXPECT_FALSE(busy->isVisible());
    QTest::keyClicks(field, QStringLiteral("abc"));
    EXPECT_EQ(field->text(), QStringLiteral("abc"));
}

TEST(KeyOperationRunnerTest, FinishWaitsForTheRunningFlowDropsTheRestAndRunsNoContinuation) {
    ui::KeyGuard guard;
    ui::KeyOperationRunner runner(guard, nullptr);
    auto flowsRun = std::make_shared<std::atomic<int>>(0);
    bool continued = false;
    auto slow = [flowsRun] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        return ++*flowsRun;
    };
    runner.run(slow, [&](int) { continued = true; });
    runner.run(slow, [&](int) { continued = true; });
    // Let the first flow start before the runner finishes.
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_TRUE(runner.finish(10000));
    EXPECT_EQ(*flowsRun, 1);
    QCoreApplication::processEvents();
    EXPECT_FALSE(continued);
}

TEST(KeyOperationRunnerTest, FinishGivesUpOnAFlowThatOutlastsItsWait) {
    ui::KeyGuard guard;
    auto release = std::make_shared<std::atomic<bool>>(false);
    auto started = std::make_shared<std::atomic<bool>>(false);
    {
        ui::KeyOperationRunner runner(guard, nullptr);
        runner.run(
            [release, started] {
                *started = true;
                while (!*release)
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                return 0;
            },
            [](int) {});
        while (!*started)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        EXPECT_FALSE(runner.finish(50));
    }
    // The runner is gone; the flow that was left behind ends by itself without touching it.
    *release = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    QCoreApplication::processEvents();
}

} // namespace
