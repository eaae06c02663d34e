// Formatting and labels of the virtual keys: who may format, what a format erases and which policy it
// applies.
#include "softkey_fixture.h"

using quillard::PinKind;

namespace {

class SoftkeyFormatTest : public SoftkeyTest {
protected:
    static quillard::FormatSettings settings() {
        quillard::FormatSettings format;
        format.label = "Formatted";
        format.manufacturer = "Maker";
        format.issuer = "Issuer";
        format.userPin = "abcdef";
        format.soPin = "SO-PIN-1";
        format.userPinRetries = 5;
        format.soPinRetries = 4;
        format.userPinMinLength = 6;
        format.userPinMaxLength = 12;
        format.soPinMinLength = 8;
        format.soPinMaxLength = 16;
        return format;
    }

    // An initialised key with one container, a certificate and some sectors written.
    int32_t keyWithContent(const std::string& serial) {
        int32_t idx = createInitialised(serial);
        EXPECT_EQ(loginUser(idx), QR_OK);
        EXPECT_EQ(driver.createContainer(idx, "Old"), QR_OK);
        EXPECT_EQ(driver.importCredential(idx, "Old", 1, ecCredential()), QR_OK);
        std::vector<uint8_t> sectors(2 * 2048, 0x5A);
        EXPECT_EQ(driver.writeSectors(idx, 3, 2, sectors.data()), QR_OK);
        EXPECT_EQ(driver.logout(idx), QR_OK);
        return idx;
    }
};

TEST_F(SoftkeyFormatTest, BlankKeyIsFormattedWithoutTheSoPin) {
    create(blankKey("FMT0"));
    int32_t idx = indexOf("FMT0");
    ASSERT_EQ(driver.format(idx, settings()), QR_OK);
    quillard::KeyInfo keyInfo = info(idx);
    EXPECT_EQ(keyInfo.initialised, 1);
    EXPECT_EQ(keyInfo.label, "Formatted");
    EXPECT_EQ(keyInfo.manufacturer, "Maker");
    EXPECT_EQ(loginUser(idx, "abcdef"), QR_OK);
}

TEST_F(SoftkeyFormatTest, InitialisedKeyNeedsTheSoLogin) {
    int32_t idx = keyWithContent("FMT1");
    EXPECT_EQ(driver.format(idx, settings()), QR_USER_NOT_LOGGED_IN);
    ASSERT_EQ(loginUser(idx), QR_OK);
    EXPECT_EQ(driver.format(idx, settings()), QR_USER_NOT_LOGGED_IN);
    std::vector<std::string> names;
    ASSERT_EQ(driver.listContainers(idx, names), QR_OK);
    EXPECT_EQ(names, std::vector<std::string>{"Old"});
}

TEST_F(SoftkeyFormatTest, FormatErasesContentAppliesThePolicyAndLogsOut) {
    int32_t idx = keyWithContent("FMT2");
    int32_t freeBefore = info(idx).freeMemory;
    ASSERT_EQ(loginSo(idx), QR_OK);
    ASSERT_EQ(driver.format(idx, settings()), QR_OK);

    std::vector<std::string> names;
    ASSERT_EQ(driver.listContainers(idx, names), QR_OK);
    EXPECT_TRUE(names.empty());
    std::vector<uint8_t> image = fileBytes(world.keysFolder() / "FMT2.img");
    ASSERT_EQ(image.size(), 64u * 2048);
    EXPECT_TRUE(std::all_of(image.begin(), image.end(), [](uint8_t byte) { return byte == 0; }));

    quillard::KeyInfo keyInfo = info(idx);
    EXPECT_EQ(keyInfo.freeMemory, keyInfo.totalMemory);
    EXPECT_GT(keyInfo.freeMemory, freeBefore);
    EXPECT_EQ(keyInfo.minPinLength, 6);
    EXPECT_EQ(keyInfo.maxPinLength, 12);
    EXPECT_EQ(keyInfo.minSoPinLength, 8);
    EXPECT_EQ(keyInfo.maxSoPinLength, 16);
    EXPECT_EQ(pinState(idx, PinKind::User).maxRetries, 5);
    EXPECT_EQ(pinState(idx, PinKind::SecurityOfficer).maxRetries, 4);
    EXPECT_EQ(pinState(idx, PinKind::SecurityOfficer).loggedIn, 0);

    // The old user PIN is shorter than the new policy allows, so it is refused without being tried.
    EXPECT_EQ(loginUser(idx), QR_PIN_LEN_RANGE);
    EXPECT_EQ(loginSo(idx), QR_PIN_INCORRECT);
    EXPECT_EQ(loginUser(idx, "abcdef"), QR_OK);
    EXPECT_EQ(loginSo(idx, "SO-PIN-1"), QR_OK);
}

TEST_F(SoftkeyFormatTest, BadSettingsAreRefusedAndChangeNothing) {
    int32_t idx = keyWithContent("FMT3");
    ASSERT_EQ(loginSo(idx), QR_OK);
    auto formatWith = [&](auto change) {
        quillard::FormatSettings format = settings();
        change(format);
        return driver.format(idx, format);
    };
    EXPECT_EQ(formatWith([](auto& f) { f.userPinRetries = 0; }), QR_ARGUMENTS_BAD);
    EXPECT_EQ(formatWith([](auto& f) { f.soPinRetries = 16; }), QR_ARGUMENTS_BAD);
    EXPECT_EQ(formatWith([](auto& f) { f.userPinMinLength = 13; }), QR_ARGUMENTS_BAD);
    EXPECT_EQ(formatWith([](auto& f) { f.soPinMinLength = 0; }), QR_ARGUMENTS_BAD);
    EXPECT_EQ(formatWith([](auto& f) { f.userPin = "abcde"; }), QR_PIN_LEN_RANGE);
    EXPECT_EQ(formatWith([](auto& f) { f.soPin = "SO-PIN-1-toolong!"; }), QR_PIN_LEN_RANGE);
    EXPECT_EQ(formatWith([](auto& f) { f.label = std::string(32, 'L'); }), QR_ARGUMENTS_BAD);
    EXPECT_EQ(formatWith([](auto& f) { f.label = "\xC3("; }), QR_ARGUMENTS_BAD);

    std::vector<std::string> names;
    ASSERT_EQ(driver.listContainers(idx, names), QR_OK);
    EXPECT_EQ(names, std::vector<std::string>{"Old"});
    EXPECT_EQ(info(idx).label, "Test FMT3");
    // The limits themselves are accepted: 1 and 15 retries, minimum equal to maximum.
    EXPECT_EQ(formatWith([](auto& f) {
                  f.userPinRetries = 1;
                  f.soPinRetries = 15;
                  f.userPinMinLength = 6;
                  f.userPinMaxLength = 6;
              }),
              QR_OK);
}

TEST_F(SoftkeyFormatTest, FormatInAnotherDriverEndsThisDriversLogin) {
    int32_t idx = createInitialised("FMT4");
    ASSERT_EQ(loginUser(idx), QR_OK);
    quillard::SoftkeyDriver admin(quillard::keysFolder());
    std::vector<std::string> serials;
    ASSERT_EQ(admin.find(serials), QR_OK);
    int32_t left = 0;
    ASSERT_EQ(admin.login(0, PinKind::SecurityOfficer, kSoPin, left), QR_OK);
    ASSERT_EQ(admin.format(0, settings()), QR_OK);
    EXPECT_EQ(driver.createContainer(idx, "C"), QR_USER_NOT_LOGGED_IN);
    EXPECT_EQ(pinState(idx, PinKind::User).loggedIn, 0);
}

TEST_F(SoftkeyFormatTest, LabelChangesWithoutLoginWithinThirtyOneBytes) {
    int32_t idx = createInitialised("LBL");
    const std::string chinese =
        "\xE6\xBC\x94\xE7\xA4\xBA\xE5\xAF\x86\xE9\x92\xA5"; // four characters, 12 bytes
    EXPECT_EQ(driver.setLabel(idx, chinese), QR_OK);
    EXPECT_EQ(info(idx).label, chinese);
    EXPECT_EQ(driver.setLabel(idx, std::string(31, 'x')), QR_OK);
    EXPECT_EQ(driver.setLabel(idx, std::string(32, 'x')), QR_ARGUMENTS_BAD);
    EXPECT_EQ(driver.setLabel(idx, "\xE6\xBC"), QR_ARGUMENTS_BAD); // a cut character
    EXPECT_EQ(info(idx).label, std::string(31, 'x'));
}

} // namespace
