// What a process killed in the middle of a key operation leaves behind: each run is ended right before each
// of its database steps in turn (creating the journal, every write and sync, deleting the journal).
#include "softkey_fixture.h"
#include "tests/common/sqlite_write_faults.h"

#include <algorithm>
#include <cstring>

using quillard::PinKind;
using sqlite_faults::ChildRun;
using sqlite_faults::runInChild;

namespace {

class SoftkeyCrashTest : public SoftkeyTest, public ::testing::WithParamInterface<PinKind> {
protected:
    static constexpr const char* kSerial = "CRASH1";

    const char* rightPin() const { return GetParam() == PinKind::User ? kUserPin : kSoPin; }
    // A wrong PIN of the same length as the right one, so both are tried in full.
    std::string wrongPin() const { return std::string(std::strlen(rightPin()), '9'); }

    // A login in a child process of its own, with a driver of its own, ended before its `stopAt`-th step.
    ChildRun loginInChild(int stopAt, const std::string& pin) const {
        const PinKind kind = GetParam();
        return runInChild(stopAt, [kind, pin] {
            quillard::SoftkeyDriver own(quillard::keysFolder());
            std::vector<std::string> serials;
            int32_t retriesLeft = 0;
            if (own.find(serials) == QR_OK)
                own.login(0, kind, pin.c_str(), retriesLeft);
        });
    }

    // The tries left, read through a driver that is closed again, so no connection crosses the next fork.
    int32_t triesLeft() const {
        quillard::SoftkeyDriver own(quillard::keysFolder());
        std::vector<std::string> serials;
        quillard::PinState state;
        EXPECT_EQ(own.find(serials), QR_OK);
        EXPECT_EQ(own.getPinState(0, GetParam(), state), QR_OK);
        return state.retriesLeft;
    }

    void refill() const {
        quillard::SoftkeyDriver own(quillard::keysFolder());
        std::vector<std::string> serials;
        int32_t retriesLeft = 0;
        ASSERT_EQ(own.find(serials), QR_OK);
        ASSERT_EQ(own.login(0, GetParam(), rightPin(), retriesLeft), QR_OK);
    }

    // The number of the step after which the first transaction of `run` is committed: in a rollback
    // journal that is the journal's deletion.
    static int firstCommit(const ChildRun& run) {
        const auto found = std::find(run.steps.begin(), run.steps.end(),
                                     sqlite_faults::WriteStep{"journal", "delete", 0, 0});
        return found == run.steps.end() ? 0 : static_cast<int>(found - run.steps.begin()) + 1;
    }

    void SetUp() override { create(initialisedKey(kSerial)); }
};

TEST_P(SoftkeyCrashTest, RightAndWrongPinsWriteAlike) {
    const int32_t full = triesLeft();
    const ChildRun wrong = loginInChild(0, wrongPin());
    ASSERT_TRUE(wrong.finished);
    EXPECT_EQ(triesLeft(), full - 1);
    refill();
    const ChildRun right = loginInChild(0, rightPin());
    ASSERT_TRUE(right.finished);
    EXPECT_EQ(triesLeft(), full);
    EXPECT_FALSE(wrong.steps.empty());
    EXPECT_EQ(wrong.steps, right.steps) << "what a login writes tells a right PIN from a wrong one";
}

TEST_P(SoftkeyCrashTest, AKilledLoginTellsNothingAndAWrongGuessCostsItsTry) {
    const int32_t full = triesLeft();
    const int commit = firstCommit(loginInChild(0, wrongPin()));
    refill();
    ASSERT_GT(commit, 0);
    for (int stopAt = 1;; ++stopAt) {
        const ChildRun wrong = loginInChild(stopAt, wrongPin());
        const int32_t afterWrong = triesLeft();
        refill();
        const ChildRun right = loginInChild(stopAt, rightPin());
        const int32_t afterRight = triesLeft();
        refill();
        // The same step ends both, and they leave the same count: a kill learns nothing of the PIN.
        ASSERT_EQ(wrong.killed, right.killed) << "step " << stopAt;
        if (!wrong.killed) {
            EXPECT_TRUE(wrong.finished && right.finished);
            EXPECT_EQ(afterWrong, full - 1);
            EXPECT_EQ(afterRight, full);
            break;
        }
        EXPECT_EQ(afterWrong, afterRight) << "step " << stopAt;
        // Once the try is committed, no kill wins it back.
        EXPECT_EQ(afterWrong, stopAt > commit ? full - 1 : full) << "step " << stopAt;
    }
}

TEST_P(SoftkeyCrashTest, GuessesKilledAfterTheirTryLockTheKey) {
    const int commit = firstCommit(loginInChild(0, wrongPin()));
    refill();
    const int32_t full = triesLeft();
    for (int32_t guess = 1; guess <= full; ++guess)
        EXPECT_TRUE(loginInChild(commit + 1, wrongPin()).killed);
    EXPECT_EQ(triesLeft(), 0);
    EXPECT_TRUE(loginInChild(0, rightPin()).steps.empty()) << "a locked PIN writes nothing";
    EXPECT_EQ(triesLeft(), 0);
}

INSTANTIATE_TEST_SUITE_P(PinKinds, SoftkeyCrashTest,
                         ::testing::Values(PinKind::User, PinKind::SecurityOfficer), [](const auto& info) {
                             return info.param == PinKind::User ? "User" : "SecurityOfficer";
                         });

} // namespace
