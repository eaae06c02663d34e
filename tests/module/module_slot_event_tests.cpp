// Slots follow the keys as they are plugged and unplugged, with events for C_WaitForSlotEvent.
#include "module_fixture.h"

#include <chrono>
#include <future>
#include <thread>

namespace {

class ModuleSlotEventTest : public ModuleTest {
protected:
    CK_RV waitWithoutBlocking(CK_SLOT_ID& slot) {
        return p11->C_WaitForSlotEvent(CKF_DONT_BLOCK, &slot, nullptr);
    }
};

TEST_F(ModuleSlotEventTest, UnpluggingAndPluggingGiveEventsAndKeepTheSlotId) {
    CK_SLOT_ID slot = slotOf(kSerial);
    CK_SLOT_ID event = 0;
    EXPECT_EQ(waitWithoutBlocking(event), CKR_NO_EVENT);
    CK_SESSION_HANDLE session = openSession();
    ASSERT_EQ(login(session, kUserPin), CKR_OK);

    ASSERT_EQ(manager.unplug(kSerial), QR_OK);
    // Work on the key that has gone fails cleanly, before and after the module has noticed.
    CK_MECHANISM mechanism{CKM_SHA256_RSA_PKCS, nullptr, 0};
    CK_OBJECT_HANDLE key = 1;
    EXPECT_EQ(p11->C_SignInit(session, &mechanism, key), CKR_DEVICE_REMOVED);
    ASSERT_EQ(waitWithoutBlocking(event), CKR_OK);
    EXPECT_EQ(event, slot);
    EXPECT_EQ(waitWithoutBlocking(event), CKR_NO_EVENT);
    EXPECT_TRUE(slots().empty());
    CK_TOKEN_INFO info{};
    EXPECT_EQ(p11->C_GetTokenInfo(slot, &info), CKR_SLOT_ID_INVALID);
    EXPECT_EQ(p11->C_SignInit(session, &mechanism, key), CKR_SESSION_HANDLE_INVALID);

    ASSERT_EQ(manager.plug(kSerial), QR_OK);
    ASSERT_EQ(waitWithoutBlocking(event), CKR_OK);
    EXPECT_EQ(event, slot);
    EXPECT_EQ(slots(), std::vector<CK_SLOT_ID>{slot});
    // Plugged in again, the key asks for the PIN again.
    session = openSession();
    CK_SESSION_INFO sessionInfo{};
    ASSERT_EQ(p11->C_GetSessionInfo(session, &sessionInfo), CKR_OK);
    EXPECT_EQ(sessionInfo.state, CKS_RW_PUBLIC_SESSION);
}

TEST_F(ModuleSlotEventTest, ANewKeyGetsANewSlot) {
    CK_SLOT_ID first = slotOf(kSerial);
    createKey("PZTEST0002");
    CK_SLOT_ID event = 0;
    ASSERT_EQ(waitWithoutBlocking(event), CKR_OK);
    EXPECT_NE(event, first);
    EXPECT_EQ(slotOf("PZTEST0002"), event);
    EXPECT_EQ(slots().size(), 2u);
}

TEST_F(ModuleSlotEventTest, ABlockingWaitReturnsWhenAKeyArrivesOrTheModuleEnds) {
    auto waiting = std::async(std::launch::async, [&] {
        CK_SLOT_ID slot = 0;
        CK_RV rv = p11->C_WaitForSlotEvent(0, &slot, nullptr);
        return std::make_pair(rv, slot);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    createKey("PZTEST0002");
    ASSERT_EQ(waiting.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    auto [rv, slot] = waiting.get();
    EXPECT_EQ(rv, CKR_OK);
    EXPECT_EQ(slot, slotOf("PZTEST0002"));

    auto ending = std::async(std::launch::async, [&] {
        CK_SLOT_ID slot = 0;
        return p11->C_WaitForSlotEvent(0, &slot, nullptr);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_EQ(p11->C_Finalize(nullptr), CKR_OK);
    ASSERT_EQ(ending.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(ending.get(), CKR_CRYPTOKI_NOT_INITIALIZED);
    ASSERT_EQ(p11->C_Initialize(nullptr), CKR_OK);
}

} // namespace
