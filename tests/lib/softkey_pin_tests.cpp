// PIN behaviour of the virtual keys: retry counters and locking, PIN changes, the SO unlock, blank keys and
// logins.
#include "softkey_fixture.h"

#include <sys/wait.h>
#include <unistd.h>

using quillard::PinKind;

namespace {

using SoftkeyPinTest = SoftkeyTest;

TEST_F(SoftkeyPinTest, WrongUserPinsCountDownAndLockTheKey) {
    int32_t idx = createInitialised("PIN1");
    int32_t left = -1;
    EXPECT_EQ(driver.login(idx, PinKind::User, "9999", left), QR_PIN_INCORRECT);
    EXPECT_EQ(left, 2);
    EXPECT_EQ(driver.login(idx, PinKind::User, "9998", left), QR_PIN_INCORRECT);
    EXPECT_EQ(left, 1);
    EXPECT_EQ(pinState(idx, PinKind::User).retriesLeft, 1);
    EXPECT_EQ(pinState(idx, PinKind::User).locked, 0);

    EXPECT_EQ(driver.login(idx, PinKind::User, "9997", left), QR_PIN_LOCKED);
    EXPECT_EQ(left, 0);
    // Locked: the right PIN no longer opens the key either.
    left = -1;
    EXPECT_EQ(driver.login(idx, PinKind::User, kUserPin, left), QR_PIN_LOCKED);
    EXPECT_EQ(left, 0);
    quillard::PinState state = pinState(idx, PinKind::User);
    EXPECT_EQ(state.locked, 1);
    EXPECT_EQ(state.retriesLeft, 0);
    EXPECT_EQ(state.maxRetries, 3);
    EXPECT_EQ(state.loggedIn, 0);
    // The SO PIN is untouched.
    EXPECT_EQ(pinState(idx, PinKind::SecurityOfficer).retriesLeft, 2);
}

TEST_F(SoftkeyPinTest, RightPinRestoresTheCounterAndLogsIn) {
    int32_t idx = createInitialised("PIN2");
    EXPECT_EQ(loginUser(idx, "0000"), QR_PIN_INCORRECT);
    int32_t left = -1;
    EXPECT_EQ(driver.login(idx, PinKind::User, kUserPin, left), QR_OK);
    EXPECT_EQ(left, 3);
    quillard::PinState state = pinState(idx, PinKind::User);
    EXPECT_EQ(state.retriesLeft, 3);
    EXPECT_EQ(state.loggedIn, 1);
    EXPECT_EQ(state.minLength, 4);
    EXPECT_EQ(state.maxLength, 8);
    EXPECT_EQ(driver.logout(idx), QR_OK);
    EXPECT_EQ(pinState(idx, PinKind::User).loggedIn, 0);
}

TEST_F(SoftkeyPinTest, CountersAreSharedThroughTheKeyButLoginsAreNot) {
    int32_t idx = createInitialised("PIN3");
    quillard::SoftkeyDriver other(quillard::keysFolder());
    std::vector<std::string> serials;
    ASSERT_EQ(other.find(serials), QR_OK);
    int32_t left = -1;
    EXPECT_EQ(other.login(0, PinKind::User, "0000", left), QR_PIN_INCORRECT);
    EXPECT_EQ(pinState(idx, PinKind::User).retriesLeft, 2);

    ASSERT_EQ(loginUser(idx), QR_OK);
    quillard::PinState otherState;
    ASSERT_EQ(other.getPinState(0, PinKind::User, otherState), QR_OK);
    EXPECT_EQ(otherState.loggedIn, 0);
    EXPECT_EQ(otherState.retriesLeft, 3);
    EXPECT_EQ(other.createContainer(0, "C"), QR_USER_NOT_LOGGED_IN);
}

TEST_F(SoftkeyPinTest, ProcessesGuessingAtOnceLoseEveryTry) {
    quillard::VirtualKeySettings settings = initialisedKey("RACE");
    settings.userPolicy.maxRetries = 15;
    settings.kdfIterations = 2000;
    create(settings);
    constexpr int kProcesses = 2;
    constexpr int kTriesEach = 7;
    std::vector<pid_t> children;
    for (int child = 0; child < kProcesses; ++child) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            quillard::SoftkeyDriver own(quillard::keysFolder());
            std::vector<std::string> serials;
            bool allCounted = own.find(serials) == QR_OK && serials.size() == 1;
            for (int i = 0; i < kTriesEach && allCounted; ++i) {
                int32_t left = 0;
                allCounted = own.login(0, PinKind::User, "0000", left) == QR_PIN_INCORRECT;
            }
            _exit(allCounted ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = -1;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(pinState(indexOf("RACE"), PinKind::User).retriesLeft, 15 - kProcesses * kTriesEach);
}

TEST_F(SoftkeyPinTest, SoPinLocksOnItsOwnCounter) {
    int32_t idx = createInitialised("PIN4");
    int32_t left = -1;
    EXPECT_EQ(driver.login(idx, PinKind::SecurityOfficer, "000000", left), QR_PIN_INCORRECT);
    EXPECT_EQ(left, 1);
    EXPECT_EQ(driver.login(idx, PinKind::SecurityOfficer, "000000", left), QR_PIN_LOCKED);
    EXPECT_EQ(loginSo(idx), QR_PIN_LOCKED);
    EXPECT_EQ(pinState(idx, PinKind::SecurityOfficer).locked, 1);
    EXPECT_EQ(driver.unlockUserPin(idx, kSoPin, "5678"), QR_PIN_LOCKED);
    EXPECT_EQ(pinState(idx, PinKind::User).retriesLeft, 3);
    EXPECT_EQ(loginUser(idx), QR_OK);
}

TEST_F(SoftkeyPinTest, BlankKeyRefusesPinWork) {
    create(blankKey("BLANK"));
    int32_t idx = indexOf("BLANK");
    EXPECT_EQ(info(idx).initialised, 0);
    EXPECT_EQ(loginUser(idx), QR_USER_PIN_NOT_INITIALIZED);
    EXPECT_EQ(loginSo(idx), QR_USER_PIN_NOT_INITIALIZED);
    EXPECT_EQ(driver.changePin(idx, PinKind::User, kUserPin, "5678"), QR_USER_PIN_NOT_INITIALIZED);
    EXPECT_EQ(driver.unlockUserPin(idx, kSoPin, "5678"), QR_USER_PIN_NOT_INITIALIZED);
    EXPECT_EQ(driver.createContainer(idx, "C"), QR_USER_NOT_LOGGED_IN);
}

TEST_F(SoftkeyPinTest, UserPinChangeNeedsTheOldPinAndKeepsThePolicy) {
    int32_t idx = createInitialised("CHG1");
    EXPECT_EQ(driver.changePin(idx, PinKind::User, "0000", "5678"), QR_PIN_INCORRECT);
    EXPECT_EQ(pinState(idx, PinKind::User).retriesLeft, 2);
    // A new PIN outside 4..8 is refused before the old one is tried, so no try is lost.
    EXPECT_EQ(driver.changePin(idx, PinKind::User, kUserPin, "123"), QR_PIN_LEN_RANGE);
    EXPECT_EQ(driver.changePin(idx, PinKind::User, "0000", "123456789"), QR_PIN_LEN_RANGE);
    EXPECT_EQ(pinState(idx, PinKind::User).retriesLeft, 2);

    EXPECT_EQ(driver.changePin(idx, PinKind::User, kUserPin, "56789012"), QR_OK);
    EXPECT_EQ(pinState(idx, PinKind::User).retriesLeft, 3);
    EXPECT_EQ(loginUser(idx), QR_PIN_INCORRECT);
    EXPECT_EQ(loginUser(idx, "56789012"), QR_OK);
}

TEST_F(SoftkeyPinTest, SoPinChangeKeepsTheUnlockWorking) {
    int32_t idx = createInitialised("CHG2");
    EXPECT_EQ(driver.changePin(idx, PinKind::SecurityOfficer, "000000", "abcdefgh"), QR_PIN_INCORRECT);
    EXPECT_EQ(pinState(idx, PinKind::SecurityOfficer).retriesLeft, 1);
    EXPECT_EQ(driver.changePin(idx, PinKind::SecurityOfficer, kSoPin, "abcde"), QR_PIN_LEN_RANGE);
    EXPECT_EQ(driver.changePin(idx, PinKind::SecurityOfficer, kSoPin, "abcdefgh"), QR_OK);
    EXPECT_EQ(pinState(idx, PinKind::SecurityOfficer).retriesLeft, 2);
    EXPECT_EQ(loginSo(idx), QR_PIN_INCORRECT);
    EXPECT_EQ(driver.unlockUserPin(idx, "abcdefgh", "5678"), QR_OK);
    EXPECT_EQ(loginUser(idx, "5678"), QR_OK);
}

TEST_F(SoftkeyPinTest, SoUnlockResetsALockedUserPinAndKeepsPrivateKeysUsable) {
    int32_t idx = createInitialised("UNLK");
    ASSERT_EQ(loginUser(idx), QR_OK);
    ASSERT_EQ(driver.createContainer(idx, "Signing"), QR_OK);
    ASSERT_EQ(driver.importCredential(idx, "Signing", 2, ecCredential()), QR_OK);
    ASSERT_EQ(driver.logout(idx), QR_OK);
    for (int i = 0; i < 3; ++i)
        loginUser(idx, "0000");
    ASSERT_EQ(pinState(idx, PinKind::User).locked, 1);

    EXPECT_EQ(driver.unlockUserPin(idx, "000000", "5678"), QR_PIN_INCORRECT);
    EXPECT_EQ(pinState(idx, PinKind::SecurityOfficer).retriesLeft, 1);
    EXPECT_EQ(driver.unlockUserPin(idx, kSoPin, "567"), QR_PIN_LEN_RANGE);
    EXPECT_EQ(driver.unlockUserPin(idx, kSoPin, "5678"), QR_OK);
    EXPECT_EQ(pinState(idx, PinKind::SecurityOfficer).retriesLeft, 2);
    quillard::PinState user = pinState(idx, PinKind::User);
    EXPECT_EQ(user.locked, 0);
    EXPECT_EQ(user.retriesLeft, 3);

    ASSERT_EQ(loginUser(idx, "5678"), QR_OK);
    quillard::KeyDescription key;
    ASSERT_EQ(driver.getPrivateKey(idx, "Signing", 2, key), QR_OK);
    EXPECT_EQ(key.algorithm, quillard::AlgorithmEcc);
    EXPECT_EQ(key.bits, 256);
}

TEST_F(SoftkeyPinTest, SecretsNeverReachTheKeyFileInClear) {
    int32_t idx = createInitialised("SECRET");
    ASSERT_EQ(loginUser(idx), QR_OK);
    ASSERT_EQ(driver.createContainer(idx, "C"), QR_OK);
    ASSERT_EQ(driver.importCredential(idx, "C", 1, ecCredential()), QR_OK);
    ASSERT_EQ(driver.changePin(idx, PinKind::User, kUserPin, "zq7$Kp2w"), QR_OK);

    std::vector<uint8_t> file = fileBytes(world.keysFolder() / "SECRET.db");
    ASSERT_FALSE(file.empty());
    auto contains = [&](const void* data, std::size_t size) {
        auto bytes = static_cast<const uint8_t*>(data);
        return std::search(file.begin(), file.end(), bytes, bytes + size) != file.end();
    };
    const quillard::SecureBytes& privateKey = ecCredential().privateKeyDer;
    EXPECT_TRUE(contains(ecCredential().certificateDer.data(), ecCredential().certificateDer.size()));
    EXPECT_FALSE(contains(privateKey.data(), privateKey.size()));
    EXPECT_FALSE(contains("zq7$Kp2w", 8));
    EXPECT_FALSE(contains(kSoPin, 8));
}

} // namespace
