// Keys coming and going: find(), removed keys, re-plugging, and the virtual key manager.
#include "softkey_fixture.h"

namespace {

using SoftkeyPresenceTest = SoftkeyTest;

TEST_F(SoftkeyPresenceTest, FindListsPluggedKeysSortedBySerial) {
    create(initialisedKey("KEY-B"));
    create(blankKey("KEY-A"));
    quillard::VirtualKeySettings unplugged = initialisedKey("KEY-0");
    unplugged.plugged = false;
    create(unplugged);

    std::vector<std::string> serials;
    ASSERT_EQ(driver.find(serials), QR_OK);
    EXPECT_EQ(serials, (std::vector<std::string>{"KEY-A", "KEY-B"}));
    quillard::KeyInfo keyInfo = info(1);
    EXPECT_EQ(keyInfo.serial, "KEY-B");
    EXPECT_EQ(keyInfo.label, "Test KEY-B");
    EXPECT_EQ(keyInfo.manufacturer, "Norvale");
    EXPECT_FALSE(keyInfo.model.empty());
    EXPECT_EQ(keyInfo.hardwareVersion, 0x0100);
    EXPECT_EQ(keyInfo.firmwareVersion, 0x0102);
    EXPECT_EQ(keyInfo.initialised, 1);
    EXPECT_EQ(driver.connect(2), QR_SLOT_ID_INVALID);
    EXPECT_EQ(driver.connect(-1), QR_SLOT_ID_INVALID);
}

TEST_F(SoftkeyPresenceTest, NoKeysIsAnEmptyList) {
    std::vector<std::string> serials{"stale"};
    ASSERT_EQ(driver.find(serials), QR_OK);
    EXPECT_TRUE(serials.empty());
}

TEST_F(SoftkeyPresenceTest, RemovedKeyAnswersDeviceRemovedAndComesBackLoggedOut) {
    int32_t idx = createInitialised("GONE");
    ASSERT_EQ(loginUser(idx), QR_OK);
    ASSERT_EQ(manager.unplug("GONE"), QR_OK);

    quillard::KeyInfo keyInfo;
    EXPECT_EQ(driver.getInfo(idx, keyInfo), QR_DEVICE_REMOVED);
    EXPECT_EQ(driver.connect(idx), QR_DEVICE_REMOVED);
    EXPECT_EQ(loginUser(idx), QR_DEVICE_REMOVED);
    EXPECT_EQ(driver.createContainer(idx, "C"), QR_DEVICE_REMOVED);
    EXPECT_EQ(indexOf("GONE"), -1);

    ASSERT_EQ(manager.plug("GONE"), QR_OK);
    idx = indexOf("GONE");
    ASSERT_EQ(idx, 0);
    EXPECT_EQ(info(idx).serial, "GONE");
    // Plugging in again ends the earlier login.
    EXPECT_EQ(driver.createContainer(idx, "C"), QR_USER_NOT_LOGGED_IN);
    EXPECT_EQ(loginUser(idx), QR_OK);
    EXPECT_EQ(driver.createContainer(idx, "C"), QR_OK);
}

TEST_F(SoftkeyPresenceTest, UnplugAndReplugBetweenTwoCallsAlsoEndsTheLogin) {
    int32_t idx = createInitialised("BOUNCE");
    ASSERT_EQ(loginUser(idx), QR_OK);
    ASSERT_EQ(manager.unplug("BOUNCE"), QR_OK);
    ASSERT_EQ(manager.plug("BOUNCE"), QR_OK);
    EXPECT_EQ(driver.createContainer(idx, "C"), QR_USER_NOT_LOGGED_IN);
    EXPECT_EQ(pinState(idx, quillard::PinKind::User).loggedIn, 0);
}

TEST_F(SoftkeyPresenceTest, DamagedKeyFileIsReportedNotFatal) {
    create(initialisedKey("GOOD"));
    std::filesystem::create_directories(world.keysFolder());
    std::ofstream(world.keysFolder() / "BAD.db")
        << "this is not a database, but long enough to look like a header";

    EXPECT_EQ(indexOf("BAD"), 0);
    quillard::KeyInfo keyInfo;
    EXPECT_EQ(driver.getInfo(0, keyInfo), QR_TOKEN_NOT_RECOGNIZED);
    EXPECT_EQ(info(1).serial, "GOOD");

    std::vector<quillard::VirtualKeyStatus> keys = manager.list();
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0].serial, "BAD");
    EXPECT_FALSE(keys[0].problem.empty());
    EXPECT_TRUE(keys[1].problem.empty());
}

TEST_F(SoftkeyPresenceTest, ManagerListsStateOfEveryKey) {
    quillard::VirtualKeySettings settings = initialisedKey("LIST-1");
    settings.productId = 0x1234;
    create(settings);
    quillard::VirtualKeySettings blank = blankKey("LIST-2");
    blank.plugged = false;
    create(blank);
    int32_t idx = indexOf("LIST-1");
    ASSERT_EQ(loginUser(idx, "0000"), QR_PIN_INCORRECT);

    std::vector<quillard::VirtualKeyStatus> keys = manager.list();
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_TRUE(keys[0].plugged);
    EXPECT_EQ(keys[0].label, "Test LIST-1");
    EXPECT_TRUE(keys[0].initialised);
    EXPECT_EQ(keys[0].productId, 0x1234);
    EXPECT_EQ(keys[0].userPin.retriesLeft, 2);
    EXPECT_EQ(keys[0].soPin.retriesLeft, 2);
    EXPECT_EQ(keys[0].totalMemory, 8192);
    EXPECT_EQ(keys[0].freeMemory, 8192);
    EXPECT_FALSE(keys[1].plugged);
    EXPECT_FALSE(keys[1].initialised);
    EXPECT_EQ(keys[1].productId, 0xE917);

    quillard::VirtualKeyStatus status;
    EXPECT_EQ(manager.status("LIST-2", status), QR_OK);
    EXPECT_FALSE(status.plugged);
    EXPECT_EQ(manager.status("NONE", status), QR_TOKEN_NOT_PRESENT);
}

TEST_F(SoftkeyPresenceTest, ManagerRefusesConflictsAndBadSettings) {
    create(initialisedKey("DUP"));
    std::string serial;
    std::string detail;
    EXPECT_EQ(manager.create(initialisedKey("DUP"), serial, &detail), QR_ARGUMENTS_BAD);
    EXPECT_NE(detail.find("exists"), std::string::npos);
    EXPECT_EQ(manager.plug("DUP"), QR_ARGUMENTS_BAD);
    EXPECT_EQ(manager.unplug("NONE"), QR_TOKEN_NOT_PRESENT);
    EXPECT_EQ(manager.remove("../DUP"), QR_TOKEN_NOT_PRESENT);

    quillard::VirtualKeySettings bad = initialisedKey("bad/serial");
    EXPECT_EQ(manager.create(bad, serial), QR_ARGUMENTS_BAD);
    bad = initialisedKey("SHORTPIN");
    bad.userPin = "12";
    EXPECT_EQ(manager.create(bad, serial), QR_PIN_LEN_RANGE);
    bad = initialisedKey("ODDDISK");
    bad.diskBytes = 3000;
    EXPECT_EQ(manager.create(bad, serial), QR_ARGUMENTS_BAD);
    EXPECT_EQ(manager.list().size(), 1u);
}

TEST_F(SoftkeyPresenceTest, CreatedSerialIsRandomWhenNoneIsGivenAndDeleteRemovesTheFiles) {
    quillard::VirtualKeySettings settings = blankKey("");
    std::string serial;
    ASSERT_EQ(manager.create(settings, serial), QR_OK);
    EXPECT_EQ(serial.size(), 16u);
    EXPECT_TRUE(std::filesystem::exists(world.keysFolder() / (serial + ".db")));
    EXPECT_TRUE(std::filesystem::exists(world.keysFolder() / (serial + ".img")));
    ASSERT_EQ(manager.remove(serial), QR_OK);
    EXPECT_TRUE(manager.list().empty());
    EXPECT_TRUE(std::filesystem::is_empty(world.keysFolder()));
}

} // namespace
