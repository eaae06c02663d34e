// The message rules the window and the command line share, with the built-in Chinese texts: each front end's
// style decides only how texts are read and joined.
#include "i18n/outcome_texts.h"
#include "i18n/string_table.h"
#include "token/lib/quillard.h"

#include <gtest/gtest.h>

namespace {

QString bracketed(const char* key) {
    return QStringLiteral("[") + i18n::text(key) + QStringLiteral("]");
}

class OutcomeTextsTest : public ::testing::Test {
protected:
    void SetUp() override { i18n::resetStringTable(); }

    // A front end that reads every text in brackets and joins two texts with " / ".
    const i18n::TextStyle bracketStyle{&bracketed, QStringLiteral(" / ")};
};

TEST_F(OutcomeTextsTest, ARefusedLoginNamesTheTriesLeftWhenTheKeyTellsThem) {
    EXPECT_EQ(i18n::refusedLoginText(5), QStringLiteral("口令不正确\r您还有5次机会"));
    EXPECT_EQ(i18n::refusedLoginText(5, bracketStyle), QStringLiteral("[口令不正确] / [您还有5次机会]"));
    EXPECT_EQ(i18n::refusedLoginText(QUILLARD_RETRIES_UNKNOWN), QStringLiteral("口令不正确"));
    EXPECT_EQ(i18n::refusedLoginText(0), i18n::text("K_Dead"));
}

TEST_F(OutcomeTextsTest, ARefusedOldPinSaysTheTriesLeftInOneText) {
    EXPECT_EQ(i18n::refusedOldPinText(2), QStringLiteral("原口令不正确,您还有2次重试机会"));
    EXPECT_EQ(i18n::refusedOldPinText(0, bracketStyle), bracketed("K_Dead"));
    EXPECT_EQ(i18n::refusedOldPinText(-1, bracketStyle), bracketed("K_PIN_Error"));
}

TEST_F(OutcomeTextsTest, PinChecksAndImportChecksNameTheirReason) {
    EXPECT_EQ(i18n::pinCheckText(token::flows::PinCheck::NotInitialised), i18n::text("Init_Info"));
    EXPECT_EQ(i18n::pinCheckText(token::flows::PinCheck::Locked), i18n::text("K_Dead"));
    EXPECT_TRUE(i18n::pinCheckText(token::flows::PinCheck::Usable).isEmpty());
    using token::flows::ImportCheck;
    EXPECT_EQ(i18n::importCheckText(ImportCheck::PlaceTaken, 1), i18n::text("K_spec_mode1"));
    EXPECT_EQ(i18n::importCheckText(ImportCheck::PlaceTaken, 2), i18n::text("K_spec_mode2"));
    EXPECT_EQ(i18n::importCheckText(ImportCheck::PasswordRefused, 0), i18n::text("I_CertPINError"));
    EXPECT_EQ(i18n::importCheckText(ImportCheck::ContainerNameTaken, 1, bracketStyle),
              bracketed("K_Cont_Name_Error"));
    EXPECT_TRUE(i18n::importCheckText(ImportCheck::Ready, 1).isEmpty());
    EXPECT_EQ(i18n::newPinLengthText(4, 16), i18n::text("UPIN_E2") + QStringLiteral("(4--16)"));
}

} // namespace

TEST(FailureTextsTest, ARemovedKeyOrAnOperationItLacksAddsItsReasonOnASecondLine) {
    i18n::resetStringTable();
    const QString described = QStringLiteral("下载失败(ErrorCode = 0x00000032)");
    EXPECT_EQ(i18n::failureText(described, 0x32), described + QStringLiteral("\rUSBKey已被拔出"));
    EXPECT_EQ(i18n::failureText(described, 0xE0), described + QStringLiteral("\rUSBKey已被拔出"));
    EXPECT_EQ(i18n::failureText(QStringLiteral("修改失败"), 0x54),
              QStringLiteral("修改失败\r此USBKey不支持该操作"));
    EXPECT_EQ(i18n::failureText(described, 0xA0), described) << "other codes say nothing more";
    EXPECT_EQ(i18n::pinLengthText(4, 16), QStringLiteral("口令长度应为4到16位"));
}

TEST(FailureTextsTest, SizesAndTextPlaceholdersComeFromTheLanguageFileWithoutPrintf) {
    i18n::resetStringTable();
    EXPECT_EQ(i18n::isoTooBigText(int64_t(2) << 30, int64_t(16) << 20),
              QStringLiteral("ISO文件(2048.0 MB)大于USBKey的光盘区(16.0 MB)"));
    EXPECT_EQ(i18n::isoCancelledText(int64_t(3) * 65536),
              QStringLiteral("已取消写入，USBKey上保留已写入的0.2 MB"));
    EXPECT_EQ(i18n::megabytesText(5 * 1024 * 1024 / 10 + 1), QStringLiteral("0.5 MB"));
    // A translated text may hold "%%", and a placeholder too many stays as it stands.
    EXPECT_EQ(i18n::formatStrings(QStringLiteral("%s of %s: 100%% %s"), {"a", "b"}),
              QStringLiteral("a of b: 100% %s"));
    EXPECT_EQ(i18n::formatStrings(QStringLiteral("%d %s"), {"x"}), QStringLiteral("%d x"));
}
