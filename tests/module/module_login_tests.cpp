// Login semantics through the module are the key's own: the retry counter, its lock and the SO unlock are
// the ones the window works with.
#include "module_fixture.h"

namespace {

using quillard::PinKind;
using quillard::PinState;

class ModuleLoginTest : public ModuleTest {
protected:
    PinState windowPinState(PinKind kind = PinKind::User) {
        PinState state;
        EXPECT_EQ(window.getPinState(windowIndex(kSerial), kind, state), QR_OK);
        return state;
    }
};

TEST_F(ModuleLoginTest, WrongPinsCountDownToTheLockAsTheWindowSees) {
    CK_SESSION_HANDLE session = openSession();
    EXPECT_EQ(tokenFlags() & (CKF_USER_PIN_COUNT_LOW | CKF_USER_PIN_FINAL_TRY | CKF_USER_PIN_LOCKED), 0u);

    EXPECT_EQ(login(session, "00000000"), CKR_PIN_INCORRECT);
    EXPECT_EQ(tokenFlags() & (CKF_USER_PIN_COUNT_LOW | CKF_USER_PIN_FINAL_TRY | CKF_USER_PIN_LOCKED),
              CKF_USER_PIN_COUNT_LOW);
    EXPECT_EQ(windowPinState().retriesLeft, 2);

    EXPECT_EQ(login(session, "00000000"), CKR_PIN_INCORRECT);
    EXPECT_EQ(tokenFlags() & (CKF_USER_PIN_COUNT_LOW | CKF_USER_PIN_FINAL_TRY | CKF_USER_PIN_LOCKED),
              CKF_USER_PIN_COUNT_LOW | CKF_USER_PIN_FINAL_TRY);
    EXPECT_EQ(windowPinState().retriesLeft, 1);

    EXPECT_EQ(login(session, "00000000"), CKR_PIN_LOCKED);
    EXPECT_TRUE(tokenFlags() & CKF_USER_PIN_LOCKED);
    EXPECT_EQ(windowPinState().retriesLeft, 0);
    EXPECT_EQ(windowPinState().locked, 1);

    // Locked means locked, also for the right PIN and for the window.
    EXPECT_EQ(login(session, kUserPin), CKR_PIN_LOCKED);
    int32_t retries = -1;
    EXPECT_EQ(window.login(windowIndex(kSerial), PinKind::User, kUserPin, retries), QR_PIN_LOCKED);
    quillard::VirtualKeyStatus status;
    ASSERT_EQ(manager.status(kSerial, status), QR_OK);
    EXPECT_EQ(status.userPin.locked, 1);
}

TEST_F(ModuleLoginTest, WrongPinsThroughTheWindowShowInTheTokenFlags) {
    int32_t retries = 0;
    EXPECT_EQ(window.login(windowIndex(kSerial), PinKind::User, "00000000", retries), QR_PIN_INCORRECT);
    EXPECT_EQ(window.login(windowIndex(kSerial), PinKind::User, "00000000", retries), QR_PIN_INCORRECT);
    EXPECT_TRUE(tokenFlags() & CKF_USER_PIN_FINAL_TRY);
    CK_SESSION_HANDLE session = openSession();
    EXPECT_EQ(login(session, kUserPin), CKR_OK);
    EXPECT_EQ(tokenFlags() & (CKF_USER_PIN_COUNT_LOW | CKF_USER_PIN_FINAL_TRY), 0u);
    EXPECT_EQ(windowPinState().retriesLeft, 3);
}

TEST_F(ModuleLoginTest, LoginStatesAndTheirMisuse) {
    CK_SESSION_HANDLE readOnly = openSession(false);
    CK_SESSION_INFO info{};
    EXPECT_EQ(login(readOnly, "12"), CKR_PIN_LEN_RANGE); // refused before it is tried: it costs no try
    EXPECT_EQ(windowPinState().retriesLeft, 3);
    EXPECT_EQ(login(readOnly, kSoPin, CKU_SO), CKR_SESSION_READ_ONLY_EXISTS);
    EXPECT_EQ(login(readOnly, kUserPin, 7), CKR_USER_TYPE_INVALID);
    EXPECT_EQ(p11->C_Logout(readOnly), CKR_USER_NOT_LOGGED_IN);

    EXPECT_EQ(login(readOnly, kUserPin), CKR_OK);
    ASSERT_EQ(p11->C_GetSessionInfo(readOnly, &info), CKR_OK);
    EXPECT_EQ(info.state, CKS_RO_USER_FUNCTIONS);
    EXPECT_EQ(login(readOnly, kUserPin), CKR_USER_ALREADY_LOGGED_IN);
    CK_SESSION_HANDLE second = openSession(true);
    ASSERT_EQ(p11->C_GetSessionInfo(second, &info), CKR_OK);
    EXPECT_EQ(info.state, CKS_RW_USER_FUNCTIONS); // the login is the application's, not the session's
    EXPECT_EQ(login(second, kSoPin, CKU_SO), CKR_USER_ANOTHER_ALREADY_LOGGED_IN);

    // Closing the last session ends the login.
    EXPECT_EQ(p11->C_CloseSession(readOnly), CKR_OK);
    EXPECT_EQ(p11->C_CloseSession(second), CKR_OK);
    CK_SESSION_HANDLE third = openSession(true);
    ASSERT_EQ(p11->C_GetSessionInfo(third, &info), CKR_OK);
    EXPECT_EQ(info.state, CKS_RW_PUBLIC_SESSION);
    EXPECT_EQ(windowPinState().loggedIn, 0);
}

TEST_F(ModuleLoginTest, SoUnlocksALockedUserPinWithInitPin) {
    CK_SESSION_HANDLE session = openSession();
    for (int i = 0; i < 3; ++i)
        login(session, "00000000");
    ASSERT_TRUE(tokenFlags() & CKF_USER_PIN_LOCKED);
    EXPECT_EQ(login(session, "0000000", CKU_SO), CKR_PIN_INCORRECT);
    EXPECT_TRUE(tokenFlags() & CKF_SO_PIN_FINAL_TRY);

    ASSERT_EQ(login(session, kSoPin, CKU_SO), CKR_OK);
    const char* newPin = "24682468";
    EXPECT_EQ(p11->C_InitPIN(session, reinterpret_cast<CK_UTF8CHAR*>(const_cast<char*>("12")), 2),
              CKR_PIN_LEN_RANGE);
    ASSERT_EQ(p11->C_InitPIN(session, reinterpret_cast<CK_UTF8CHAR*>(const_cast<char*>(newPin)), 8), CKR_OK);
    ASSERT_EQ(p11->C_Logout(session), CKR_OK);
    EXPECT_EQ(tokenFlags() & (CKF_USER_PIN_LOCKED | CKF_SO_PIN_COUNT_LOW), 0u);

    // The private keys stay usable: the master key is the one the SO PIN keeps too.
    ASSERT_EQ(login(session, newPin), CKR_OK);
    CK_MECHANISM mechanism{CKM_SHA256_RSA_PKCS, nullptr, 0};
    EXPECT_FALSE(sign(session, findOne(session, CKO_PRIVATE_KEY, kContainer), mechanism, {1, 2, 3}).empty());
}

TEST_F(ModuleLoginTest, SetPinChangesThePinTheWindowUses) {
    CK_SESSION_HANDLE session = openSession(false);
    auto* oldPin = reinterpret_cast<CK_UTF8CHAR*>(const_cast<char*>(kUserPin));
    auto* newPin = reinterpret_cast<CK_UTF8CHAR*>(const_cast<char*>("13571357"));
    EXPECT_EQ(p11->C_SetPIN(session, oldPin, 8, newPin, 8), CKR_SESSION_READ_ONLY);
    session = openSession(true);
    EXPECT_EQ(p11->C_SetPIN(session, newPin, 8, newPin, 8), CKR_PIN_INCORRECT);
    ASSERT_EQ(p11->C_SetPIN(session, oldPin, 8, newPin, 8), CKR_OK);
    int32_t retries = 0;
    EXPECT_EQ(window.login(windowIndex(kSerial), PinKind::User, kUserPin, retries), QR_PIN_INCORRECT);
    EXPECT_EQ(window.login(windowIndex(kSerial), PinKind::User, "13571357", retries), QR_OK);
}

TEST_F(ModuleLoginTest, InitTokenFormatsWithTheKeysRulesAndLeavesTheUserPinToTheSo) {
    CK_SLOT_ID slot = slotOf(kSerial);
    CK_UTF8CHAR label[32];
    std::memset(label, ' ', sizeof label);
    std::memcpy(label, "Formatted", 9);
    auto* soPin = reinterpret_cast<CK_UTF8CHAR*>(const_cast<char*>(kSoPin));
    CK_SESSION_HANDLE open = openSession();
    EXPECT_EQ(p11->C_InitToken(slot, soPin, 8, label), CKR_SESSION_EXISTS);
    p11->C_CloseSession(open);
    EXPECT_EQ(p11->C_InitToken(slot, reinterpret_cast<CK_UTF8CHAR*>(const_cast<char*>("99999999")), 8, label),
              CKR_PIN_INCORRECT);
    EXPECT_TRUE(tokenFlags() & CKF_SO_PIN_COUNT_LOW);
    ASSERT_EQ(p11->C_InitToken(slot, soPin, 8, label), CKR_OK);

    CK_TOKEN_INFO info{};
    ASSERT_EQ(p11->C_GetTokenInfo(slot, &info), CKR_OK);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(info.label), 10), "Formatted ");
    EXPECT_TRUE(info.flags & CKF_TOKEN_INITIALIZED);
    EXPECT_FALSE(info.flags & CKF_USER_PIN_INITIALIZED);
    EXPECT_EQ(info.ulMaxPinLen, 16u); // the key's policy stays

    CK_SESSION_HANDLE session = openSession();
    EXPECT_TRUE(find(session, CKO_CERTIFICATE).empty());
    EXPECT_EQ(login(session, kUserPin), CKR_USER_PIN_NOT_INITIALIZED);
    EXPECT_EQ(windowPinState().retriesLeft, 3); // no try was spent on a PIN that is not there
    ASSERT_EQ(login(session, kSoPin, CKU_SO), CKR_OK);
    ASSERT_EQ(p11->C_InitPIN(session, reinterpret_cast<CK_UTF8CHAR*>(const_cast<char*>(kUserPin)), 8),
              CKR_OK);
    ASSERT_EQ(p11->C_Logout(session), CKR_OK);
    EXPECT_TRUE(tokenFlags() & CKF_USER_PIN_INITIALIZED);
    EXPECT_EQ(login(session, kUserPin), CKR_OK);
}

} // namespace
