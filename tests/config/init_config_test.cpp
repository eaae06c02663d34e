// Initconfig.ini: round trip of all twelve keys, defaults, and the rest of the file kept.
#include "config/init_config.h"
#include "tests/common/temp_world.h"

#include <QFile>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

class InitConfig : public ::testing::Test {
protected:
    void writeFile(const QByteArray& text) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    TempWorld world;
    QString path = QString::fromStdString((world.root() / "Initconfig.ini").string());
};

TZartoBaseInfo sampleInfo() {
    TZartoBaseInfo info;
    info.LabelName = QString::fromUtf8("  财务部 Key  ");
    info.manufacture = QString::fromUtf8("诺瓦勒").toLocal8Bit();
    info.Issuer = "Norvale";
    info.default_sopin = platform::SecretBytes("qzvke");
    info.default_upin = platform::SecretBytes("\"40729316\"");
    info.uPinRetryTimes = 6;
    info.soPinRetryTimes = 15;
    info.minUPINLen = 6;
    info.maxUPINLen = 16;
    info.minSOPINLen = 5;
    info.maxSOPINLen = 12;
    return info;
}

} // namespace

TEST_F(InitConfig, WritesAndReadsBackEveryField) {
    writeFile("; administrator defaults\n[Other]\nKeep=me\n");
    const TZartoBaseInfo written = sampleInfo();
    ASSERT_TRUE(WriteInitConfig(path, written));
    TZartoBaseInfo read;
    ASSERT_EQ(ReadInitConfig(path, read), 0);
    EXPECT_EQ(read.LabelName, written.LabelName);
    EXPECT_EQ(read.manufacture, written.manufacture);
    EXPECT_EQ(read.Issuer, written.Issuer);
    EXPECT_EQ(read.default_sopin, written.default_sopin);
    EXPECT_EQ(read.default_upin, written.default_upin);
    EXPECT_EQ(read.uPinRetryTimes, 6);
    EXPECT_EQ(read.soPinRetryTimes, 15);
    EXPECT_EQ(read.minUPINLen, 6);
    EXPECT_EQ(read.maxUPINLen, 16);
    EXPECT_EQ(read.minSOPINLen, 5);
    EXPECT_EQ(read.maxSOPINLen, 12);
    EXPECT_EQ(read.ISOFile, "");

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(
        file.readAll().startsWith("; administrator defaults\n[Other]\nKeep=me\n[InitData]\nLabelName="));
}

TEST_F(InitConfig, MissingKeysAndNonNumbersGiveTheDefaults) {
    writeFile("[initdata]\nuPinRetryTimes=ten\nmaxUPINLen=0x10\nsoPinRetryTimes=3 tries\nminSOPINLen=\n");
    TZartoBaseInfo info = sampleInfo();
    ASSERT_EQ(ReadInitConfig(path, info), 0);
    EXPECT_EQ(info.LabelName, "");
    EXPECT_TRUE(info.default_upin.isEmpty());
    EXPECT_EQ(info.uPinRetryTimes, 10);
    EXPECT_EQ(info.soPinRetryTimes, 10);
    EXPECT_EQ(info.minUPINLen, 4);
    EXPECT_EQ(info.maxUPINLen, 16);
    EXPECT_EQ(info.minSOPINLen, 4);
    EXPECT_EQ(info.maxSOPINLen, 32);
}

TEST_F(InitConfig, MissingFileLeavesTheRecordUntouched) {
    TZartoBaseInfo info = sampleInfo();
    EXPECT_EQ(ReadInitConfig(path, info), 1);
    EXPECT_EQ(info.LabelName, sampleInfo().LabelName);
    EXPECT_EQ(info.uPinRetryTimes, 6);
    EXPECT_FALSE(WriteInitConfig(path + "/missing-folder/Initconfig.ini", info));
}

TEST_F(InitConfig, NewFileIsOwnerOnlyAndAnExistingFileKeepsItsMode) {
    namespace fs = std::filesystem;
    const fs::path file = path.toStdString();
    ASSERT_TRUE(WriteInitConfig(path, sampleInfo()));
    EXPECT_EQ(fs::status(file).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(WriteInitConfig(path, sampleInfo()));
    EXPECT_EQ(fs::status(file).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}
