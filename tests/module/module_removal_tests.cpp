// A key pulled out closes every session of it for good, as PKCS#11 closes the sessions of a removed token:
// programs that open a new session and log in again only on CKR_SESSION_HANDLE_INVALID rely on it. And a
// session opens only on a key that is there.
#include "module_fixture.h"

#include <chrono>
#include <thread>

namespace {

class ModuleRemovalTest : public ModuleTest {
protected:
    CK_RV sessionInfo(CK_SESSION_HANDLE session, CK_SESSION_INFO& info) {
        return p11->C_GetSessionInfo(session, &info);
    }

    CK_RV openOn(CK_SLOT_ID slot, CK_SESSION_HANDLE& session) {
        return p11->C_OpenSession(slot, CKF_SERIAL_SESSION | CKF_RW_SESSION, nullptr, nullptr, &session);
    }

    CK_MECHANISM rsaSha256{CKM_SHA256_RSA_PKCS, nullptr, 0};
};

TEST_F(ModuleRemovalTest, SessionsHeldAcrossAnUnplugStayClosedAfterThePlug) {
    const CK_SLOT_ID slot = slotOf(kSerial);
    CK_SESSION_HANDLE held = openSession();
    CK_SESSION_HANDLE readOnly = openSession(false);
    ASSERT_EQ(login(held, kUserPin), CKR_OK);
    const CK_OBJECT_HANDLE key = findOne(held, CKO_PRIVATE_KEY, kContainer);

    ASSERT_EQ(manager.unplug(kSerial), QR_OK);
    CK_SESSION_INFO info{};
    EXPECT_EQ(sessionInfo(held, info), CKR_DEVICE_REMOVED);
    // The first answer closed every session of the key, not only the one asked about.
    EXPECT_EQ(sessionInfo(readOnly, info), CKR_SESSION_HANDLE_INVALID);
    // No session opens on the missing key, although the slots were not listed again.
    CK_SESSION_HANDLE refused = CK_INVALID_HANDLE;
    EXPECT_EQ(openOn(slot, refused), CKR_TOKEN_NOT_PRESENT);
    EXPECT_EQ(openOn(slot + 100, refused), CKR_SLOT_ID_INVALID);

    ASSERT_EQ(manager.plug(kSerial), QR_OK);
    EXPECT_EQ(sessionInfo(held, info), CKR_SESSION_HANDLE_INVALID);
    EXPECT_EQ(p11->C_SignInit(held, &rsaSha256, key), CKR_SESSION_HANDLE_INVALID);
    EXPECT_EQ(p11->C_CloseSession(readOnly), CKR_SESSION_HANDLE_INVALID);

    // A new session starts logged out, and a login makes the key sign again.
    CK_SESSION_HANDLE fresh = CK_INVALID_HANDLE;
    ASSERT_EQ(openOn(slot, fresh), CKR_OK);
    ASSERT_EQ(sessionInfo(fresh, info), CKR_OK);
    EXPECT_EQ(info.state, CKS_RW_PUBLIC_SESSION);
    EXPECT_EQ(p11->C_SignInit(fresh, &rsaSha256, key), CKR_USER_NOT_LOGGED_IN);
    ASSERT_EQ(login(fresh, kUserPin), CKR_OK);
    EXPECT_FALSE(sign(fresh, findOne(fresh, CKO_PRIVATE_KEY, kContainer), rsaSha256, {1, 2, 3}).empty());
}

// With the watch on the module's own thread (as programs get it), a key pulled out by someone else is seen
// moments later: until then a held session still answers, then the same answers follow.
TEST_F(ModuleRemovalTest, AnUnplugIsSeenByTheModulesOwnWatchThread) {
    ASSERT_EQ(p11->C_Finalize(nullptr), CKR_OK);
    ASSERT_EQ(p11->C_Initialize(nullptr), CKR_OK);
    const CK_SLOT_ID slot = slotOf(kSerial);
    CK_SESSION_HANDLE held = openSession();
    CK_SESSION_HANDLE alsoHeld = openSession();
    ASSERT_EQ(login(held, kUserPin), CKR_OK);

    ASSERT_EQ(manager.unplug(kSerial), QR_OK);
    CK_SESSION_INFO info{};
    CK_RV answer = CKR_OK;
    for (int waited = 0; waited < 5000 && answer == CKR_OK; ++waited) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        answer = sessionInfo(held, info);
    }
    EXPECT_EQ(answer, CKR_DEVICE_REMOVED);
    EXPECT_EQ(sessionInfo(alsoHeld, info), CKR_SESSION_HANDLE_INVALID);
    CK_SESSION_HANDLE refused = CK_INVALID_HANDLE;
    EXPECT_EQ(openOn(slot, refused), CKR_TOKEN_NOT_PRESENT);
    ASSERT_EQ(manager.plug(kSerial), QR_OK);
    EXPECT_EQ(sessionInfo(held, info), CKR_SESSION_HANDLE_INVALID);
}

TEST_F(ModuleRemovalTest, AKeyPulledAndPluggedBetweenTwoCallsEndsItsSessions) {
    const CK_SLOT_ID slot = slotOf(kSerial);
    CK_SESSION_HANDLE held = openSession();
    CK_SESSION_HANDLE stillHeld = openSession();
    ASSERT_EQ(login(held, kUserPin), CKR_OK);

    // Nothing asks the module while the key is out.
    ASSERT_EQ(manager.unplug(kSerial), QR_OK);
    ASSERT_EQ(manager.plug(kSerial), QR_OK);
    CK_SESSION_INFO info{};
    EXPECT_EQ(sessionInfo(held, info), CKR_SESSION_HANDLE_INVALID);

    // A session opened after the plug is the key's only one; the one held before stays invalid.
    CK_SESSION_HANDLE fresh = CK_INVALID_HANDLE;
    ASSERT_EQ(openOn(slot, fresh), CKR_OK);
    EXPECT_EQ(sessionInfo(stillHeld, info), CKR_SESSION_HANDLE_INVALID);
    CK_TOKEN_INFO token{};
    ASSERT_EQ(p11->C_GetTokenInfo(slot, &token), CKR_OK);
    EXPECT_EQ(token.ulSessionCount, 1u);
    ASSERT_EQ(sessionInfo(fresh, info), CKR_OK);
    EXPECT_EQ(info.state, CKS_RW_PUBLIC_SESSION);
}

} // namespace
