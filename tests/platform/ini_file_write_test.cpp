// Writing INI files: other lines and the encoding stay as they were, new files, values that need quotes, and
// writes that must be refused without touching the old file.
#include "platform/ini_file.h"
#include "tests/common/temp_world.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

using platform::IniFile;

namespace {

class IniFileWrite : public ::testing::Test {
protected:
    void writeBytes(const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray readBytes() const {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    TempWorld world;
    QString folder = QString::fromStdString(world.root().string());
    QString path = folder + "/test.ini";
};

QByteArray utf16LE(const QString& text) {
    QByteArray bytes;
    for (QChar c : text)
        bytes.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
    return bytes;
}

} // namespace

TEST_F(IniFileWrite, KeepsEveryOtherLineByteForByte) {
    writeBytes("; settings\r\n"
               "[Language]\r\n"
               "languageid = 2052 ; old\r\n"
               "Other=\xB2\xE2\xCA\xD4\r\n" // not UTF-8: must survive untouched
               "\r\n"
               "[Next]\r\n"
               "Key=value"); // no line end at the end
    ASSERT_TRUE(IniFile::writeString(path, "LANGUAGE", "LanguageID", "1033"));
    ASSERT_TRUE(IniFile::writeString(path, "Language", "Added", "1"));
    ASSERT_TRUE(IniFile::writeString(path, "New", "Key", "v"));
    EXPECT_EQ(readBytes(), QByteArray("; settings\r\n"
                                      "[Language]\r\n"
                                      "LanguageID=1033\r\n"
                                      "Other=\xB2\xE2\xCA\xD4\r\n"
                                      "Added=1\r\n"
                                      "\r\n"
                                      "[Next]\r\n"
                                      "Key=value\r\n"
                                      "[New]\r\n"
                                      "Key=v\r\n"));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList{"test.ini"}); // no temporary file left behind
}

TEST_F(IniFileWrite, KeepsUtf16LEFiles) {
    const QString chinese = QString::fromUtf8("简体中文");
    writeBytes("\xFF\xFE" + utf16LE("[Caption]\r\nA=1\r\n"));
    ASSERT_TRUE(IniFile::writeString(path, "Caption", "B", chinese));
    EXPECT_EQ(readBytes(), "\xFF\xFE" + utf16LE("[Caption]\r\nA=1\r\nB=" + chinese + "\r\n"));
}

TEST_F(IniFileWrite, CreatesAUtf8FileThatReadsBackEveryValue) {
    const QString chinese = QString::fromUtf8("管理员 Pellor");
    ASSERT_TRUE(IniFile::writeStrings(
        path, "InitData", {{"LabelName", chinese}, {"Padded", "  two blanks  "}, {"Quoted", "\"q\""}}));
    EXPECT_TRUE(readBytes().startsWith("\xEF\xBB\xBF[InitData]\n"));
    const IniFile ini = IniFile::load(path);
    EXPECT_EQ(ini.readString("InitData", "LabelName"), chinese);
    EXPECT_EQ(ini.readString("InitData", "Padded"), "  two blanks  ");
    EXPECT_EQ(ini.readString("InitData", "Quoted"), "\"q\"");
}

TEST_F(IniFileWrite, RefusedWritesLeaveEverythingAsItWas) {
    writeBytes("[S]\nK=old\n");
    // Text that would break the file's structure.
    EXPECT_FALSE(IniFile::writeString(path, "S", "K", "new\n[S]\nK=injected"));
    EXPECT_FALSE(IniFile::writeString(path, "S", "K=x", "new"));
    EXPECT_FALSE(IniFile::writeString(path, "S]", "K", "new"));
    EXPECT_EQ(readBytes(), "[S]\nK=old\n");
    // A folder in the way, or a folder that does not exist.
    EXPECT_FALSE(IniFile::writeString(folder, "S", "K", "new"));
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_FALSE(IniFile::writeString(folder + "/Languages/LanguageConfig.ini", "S", "K", "new"));
    EXPECT_FALSE(QFileInfo::exists(folder + "/Languages"));
}

TEST_F(IniFileWrite, RefusesAReadOnlyFileOrFolder) {
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind the superuser";
    writeBytes("[S]\nK=old\n");
    QFile::setPermissions(path, QFile::ReadOwner);
    EXPECT_FALSE(IniFile::writeString(path, "S", "K", "new"));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
    EXPECT_FALSE(IniFile::writeString(path, "S", "K", "new"));
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(readBytes(), "[S]\nK=old\n");
}

// A write either reads back exactly, with every other value unchanged, or is refused without touching the
// file.
TEST_F(IniFileWrite, AWriteThatWouldNotReadBackIsRefused) {
    // A UTF-16 file with an odd number of bytes: anything appended would be read one byte out of step.
    const QByteArray odd = "\xFF\xFE" + utf16LE("[S]\r\nA=1\r\nB=2") + "\x33";
    writeBytes(odd);
    EXPECT_FALSE(IniFile::writeString(path, "S", "C", "3"));
    EXPECT_EQ(readBytes(), odd);

    // The last line ends in a bare carriage return: the value still lands where a read finds it.
    writeBytes("[a\r");
    ASSERT_TRUE(IniFile::writeString(path, "a", "key", "value"));
    EXPECT_EQ(IniFile::load(path).readString("a", "key"), "value");
    writeBytes("[S]\r\nA=1\r\n[a\r");
    ASSERT_TRUE(IniFile::writeString(path, "a", "key", "value"));
    const IniFile ini = IniFile::load(path);
    EXPECT_EQ(ini.readString("a", "key"), "value");
    EXPECT_EQ(ini.readString("S", "A"), "1");
}

TEST_F(IniFileWrite, ANewFileIsReadableByItsOwnerOnly) {
    ASSERT_TRUE(IniFile::writeString(path, "S", "K", "v"));
    using std::filesystem::perms;
    EXPECT_EQ(std::filesystem::status(path.toStdString()).permissions(),
              perms::owner_read | perms::owner_write);
}
