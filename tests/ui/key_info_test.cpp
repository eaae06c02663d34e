// The key information page: the fourteen rows of what the selected key reports, their formats, and what a
// failed read leaves; on virtual keys through the real library as well.
#include "key_window_fixture.h"
#include "token/lib/softkey/virtual_key_manager.h"
#include "token/token_ops.h"

namespace {

const QStringList kCaptions = {"USBKey名称",
                               "生产厂商",
                               "产品型号",
                               "序列号",
                               "最大密码长度",
                               "最小密码长度",
                               "最大重试次数",
                               "USBKey口令剩余重试次数",
                               "SO PIN剩余重试次数",
                               "USBKey口令是否被锁",
                               "总空间",
                               "剩余空间",
                               "硬件版本",
                               "固件版本"};
constexpr int kRetriesRow = 7;
constexpr int kSoRetriesRow = 8;
constexpr int kLockRow = 9;
constexpr int kHardwareRow = 12;
constexpr int kFirmwareRow = 13;

using KeyInfoTest = KeyWindowTest;

TEST_F(KeyInfoTest, RowsShowWhatTheKeyReports) {
    ScriptedKey key{" 张三 Key  ", "ZV0042", "Norvale 工厂", "Zarto S2", 12, 6, 65536,
                    1024,          256,      0x0205,         7,          9};
    keys = {key};
    shownForm();
    EXPECT_EQ(infoColumn(0), kCaptions);
    EXPECT_EQ(infoColumn(1), QStringList({" 张三 Key  ", "Norvale 工厂", "Zarto S2", "ZV0042", "12", "6", "9",
                                          "7", "0", "未锁死", "65536", "1024", "1.00", "2.05"}));
    EXPECT_EQ(keyNode(0)->text(0), "张三 Key") << "the tree shows the label trimmed";
}

TEST_F(KeyInfoTest, LockedPinAndVersionFormats) {
    keys = {{"Locked"}, {"Odd"}, {"Negative"}};
    keys[0].retriesLeft = 0;
    keys[0].locked = 1;
    keys[0].hardwareVersion = 0x0164;
    keys[0].firmwareVersion = 0x010A;
    keys[1].hardwareVersion = 0;
    keys[1].firmwareVersion = 0x0102;
    keys[2].hardwareVersion = -257;
    keys[2].firmwareVersion = -1;
    keys[2].totalMemory = -5;
    shownForm();
    EXPECT_EQ(infoColumn(1).value(kRetriesRow), "0");
    EXPECT_EQ(infoColumn(1).value(kLockRow), "已锁死");
    EXPECT_EQ(infoColumn(1).mid(kHardwareRow), QStringList({"1.100", "1.10"}));
    select(keyNode(1));
    EXPECT_EQ(infoColumn(1).mid(kHardwareRow), QStringList({"0.00", "1.02"}));
    select(keyNode(2));
    EXPECT_EQ(infoColumn(1).value(10), "-5");
    EXPECT_EQ(infoColumn(1).mid(kHardwareRow), QStringList({"-1.-01", "0.-01"}));

    library->token_get_pin_state = [](int32_t, int32_t, int32_t*, int32_t*, int32_t*, int32_t*, int32_t*,
                                      int32_t*) { return int32_t(0x32); };
    select(keyNode(0));
    EXPECT_EQ(infoColumn(1).mid(6, 4), QStringList({"0", "0", "0", "未锁死"}))
        << "a failed PIN state reads as zeros";
}

TEST_F(KeyInfoTest, RetryCountsAndMemoryTheKeyDoesNotTellShowAsADash) {
    keys = {{"Token"}};
    keys[0].retriesLeft = QUILLARD_RETRIES_UNKNOWN;
    keys[0].maxRetries = QUILLARD_RETRIES_UNKNOWN;
    keys[0].totalMemory = QUILLARD_MEMORY_UNKNOWN;
    keys[0].freeMemory = QUILLARD_MEMORY_UNKNOWN;
    shownForm();
    EXPECT_EQ(infoColumn(1).mid(6, 6), QStringList({"-", "-", "0", "未锁死", "-", "-"}))
        << "a SO PIN state the key does not give reads as zeros";
}

TEST_F(KeyInfoTest, LabelFillingTheWholeFieldIsShownWhole) {
    keys = {{std::string(129, 'L')}};
    shownForm();
    EXPECT_EQ(infoColumn(1).value(0), QString(129, 'L'));
    EXPECT_EQ(keyNode(0)->text(0), QString(129, 'L'));
}

TEST_F(KeyInfoTest, FailedReadLeavesTheRowsOfTheLastKeyShown) {
    keys = {{"Alpha"}, {"Beta"}};
    shownForm();
    select(keyNode(1));
    EXPECT_EQ(infoList()->rowCount(), kCaptions.size());
    EXPECT_EQ(infoColumn(1).value(0), "Beta");
    keys[0].infoResult = 0x32;
    select(keyNode(0));
    EXPECT_EQ(infoList()->rowCount(), kCaptions.size());
    EXPECT_EQ(infoColumn(1).value(0), "Beta");
    EXPECT_TRUE(messages.messages().isEmpty());
}

// The real library on a virtual key of the private world.
class VirtualKeyInfoTest : public KeyWindowTest {
protected:
    VirtualKeyInfoTest() { library.reset(); }

    void createKey(const std::string& label, int retries) {
        quillard::VirtualKeySettings settings;
        settings.label = label;
        settings.userPolicy = {4, 12, retries};
        settings.userPin = "1234";
        settings.soPin = "87654321";
        settings.kdfIterations = 16;
        std::string serial;
        std::string detail;
        ASSERT_EQ(quillard::VirtualKeyManager().create(settings, serial, &detail), 0) << detail;
    }
};

TEST_F(VirtualKeyInfoTest, WrongPinsLowerTheRetriesShown) {
    createKey("虚拟 Key", 5);
    ASSERT_TRUE(shownForm().libraryReady());
    ASSERT_EQ(keyList()->childCount(), 1);
    EXPECT_EQ(keyNode(0)->text(0), "虚拟 Key");
    EXPECT_EQ(infoColumn(1).value(5), "4");
    EXPECT_EQ(infoColumn(1).mid(kRetriesRow - 1, 2), QStringList({"5", "5"}));
    EXPECT_EQ(infoColumn(1).value(kLockRow), "未锁死");
    const QString soTries = infoColumn(1).value(kSoRetriesRow);
    int32_t soLeft = -1;
    EXPECT_NE(token::token_login_so(0, "00000000", soLeft), 0);
    select(keyNode(0)->child(0));
    select(keyNode(0));
    EXPECT_EQ(infoColumn(1).value(kSoRetriesRow), QString::number(soTries.toInt() - 1))
        << "the SO PIN's tries left beside the user PIN's";
    select(keyNode(0)->child(0));
    auto tryWrongPins = [](int times) {
        for (int attempt = 0; attempt < times; ++attempt) {
            int32_t retriesLeft = -1;
            EXPECT_NE(token::token_login(0, "9999", retriesLeft), 0);
        }
    };
    tryWrongPins(3);
    select(keyNode(0));
    EXPECT_EQ(infoColumn(1).value(kRetriesRow), "2");
    EXPECT_EQ(infoColumn(1).value(kLockRow), "未锁死");
    tryWrongPins(2);
    select(keyNode(0)->child(0));
    select(keyNode(0));
    EXPECT_EQ(infoColumn(1).value(kRetriesRow), "0");
    EXPECT_EQ(infoColumn(1).value(kLockRow), "已锁死");
}

} // namespace
