// Reading INI files with the private-profile rules: names, blanks, quotes, comments, duplicates, encodings,
// value length and integers.
#include "platform/ini_file.h"
#include "tests/common/temp_world.h"

#include <QFile>
#include <gtest/gtest.h>

using platform::IniFile;

namespace {

class IniFileRead : public ::testing::Test {
protected:
    IniFile loadBytes(const QByteArray& bytes) {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        return IniFile::load(path);
    }
    IniFile loadUtf8(const char* text) { return loadBytes(QByteArray(text)); }

    TempWorld world;
    QString path = QString::fromStdString((world.root() / "test.ini").string());
};

QByteArray utf16LE(const QString& text) {
    QByteArray bytes("\xFF\xFE", 2);
    for (QChar c : text)
        bytes.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
    return bytes;
}

} // namespace

TEST_F(IniFileRead, MatchesNamesWithoutCaseTrimsBlanksAndRemovesOnePairOfQuotes) {
    const IniFile ini = loadUtf8("[Caption]\r\n"
                                 "  K_Dead  =  locked key  \r\n"
                                 "K_ErrorCODE_Str=\" ErrorCode :String= \"\r\n"
                                 "Twice=\"\"inner\"\"\r\n"
                                 "OneSided=\"open\r\n"
                                 "Empty=\r\n");
    EXPECT_TRUE(ini.exists());
    EXPECT_EQ(ini.readString("caption", "k_dead"), "locked key");
    EXPECT_EQ(ini.readString("CAPTION", "K_ErrorCODE_Str"), " ErrorCode :String= ");
    EXPECT_EQ(ini.readString("Caption", "Twice"), "\"inner\"");
    EXPECT_EQ(ini.readString("Caption", "OneSided"), "\"open");
    EXPECT_EQ(ini.readString("Caption", "Empty", "default"), "");
    EXPECT_EQ(ini.readString("Caption", "Missing", "default"), "default");
    EXPECT_EQ(ini.readString("Other", "K_Dead", "default"), "default");
}

TEST_F(IniFileRead, IgnoresCommentsAndLetsTheFirstSectionAndKeyWin) {
    const IniFile ini = loadUtf8("orphan=before any section\n"
                                 "[A]\n"
                                 ";Key=commented\n"
                                 "Key=first\n"
                                 "key=second\n"
                                 "[B]\n"
                                 "Key=b\n"
                                 "[a]\n"
                                 "OnlyInSecondA=x\n");
    EXPECT_EQ(ini.readString("A", "Key"), "first");
    EXPECT_EQ(ini.readString("B", "Key"), "b");
    EXPECT_EQ(ini.readString("A", "OnlyInSecondA", "default"), "default");
    EXPECT_EQ(ini.readString("A", ";Key", "default"), "default");
    EXPECT_EQ(ini.sectionNames(), QStringList({"A", "B"}));
}

TEST_F(IniFileRead, ReadsEveryEncoding) {
    const QString chinese = QString::fromUtf8("USBKey已锁死");
    EXPECT_EQ(loadBytes(utf16LE("[Caption]\r\nK_Dead=" + chinese + "\r\n")).readString("Caption", "K_Dead"),
              chinese);
    EXPECT_EQ(loadBytes("\xEF\xBB\xBF[Caption]\nK_Dead=" + chinese.toUtf8()).readString("Caption", "K_Dead"),
              chinese);
    EXPECT_EQ(loadBytes("[Caption]\nK_Dead=" + chinese.toUtf8()).readString("Caption", "K_Dead"), chinese);
    // Not UTF-8: read with the locale's 8-bit encoding, so the plain ASCII around it still reads.
    const IniFile eightBit = loadBytes("[Caption]\nLatin=caf\xE9\nPlain=ok\n");
    EXPECT_EQ(eightBit.readString("Caption", "Plain"), "ok");
    EXPECT_TRUE(eightBit.readString("Caption", "Latin").startsWith("caf"));
}

TEST_F(IniFileRead, CutsValuesAt2047CharactersButNeverInsideACharacter) {
    const QByteArray longValue(3000, 'x');
    EXPECT_EQ(loadUtf8("[S]\nK=" + longValue).readString("S", "K"), QString(2047, 'x'));
    const QString emoji = QString::fromUcs4(U"\U0001F600");
    const QByteArray emojiLine = QByteArray(2046, 'x') + emoji.toUtf8();
    EXPECT_EQ(loadUtf8("[S]\nK=" + emojiLine).readString("S", "K"), QString(2046, 'x'));
    EXPECT_EQ(loadUtf8("[S]\nK=\"" + QByteArray(2047, 'y') + "\"").readString("S", "K"), QString(2047, 'y'));
}

TEST_F(IniFileRead, ReadsIntegersAsDecimalOrHexadecimal) {
    const IniFile ini = loadUtf8("[N]\nHex=0x10\nUpperHex=0XfF\nAllBits=0xFFFFFFFF\nSigned=-12abc\n"
                                 "Quoted= \"42\" \nText=abc\nHuge=99999999999\nMin=-2147483648\nBareX=0x\n");
    EXPECT_EQ(ini.readInt("N", "Hex", 7), 16);
    EXPECT_EQ(ini.readInt("N", "UpperHex", 7), 255);
    EXPECT_EQ(ini.readInt("N", "AllBits", 7), -1);
    EXPECT_EQ(ini.readInt("N", "Signed", 7), -12);
    EXPECT_EQ(ini.readInt("N", "Quoted", 7), 42);
    EXPECT_EQ(ini.readInt("N", "Text", 7), 0);
    EXPECT_EQ(ini.readInt("N", "Huge", 7), 0);
    EXPECT_EQ(ini.readInt("N", "Min", 7), -2147483647 - 1);
    EXPECT_EQ(ini.readInt("N", "BareX", 7), 0);
    EXPECT_EQ(ini.readInt("N", "Missing", 7), 7);
    // A whole number or nothing.
    EXPECT_EQ(ini.readNumber("N", "Hex"), 16);
    EXPECT_EQ(ini.readNumber("N", "Signed"), std::nullopt);
    EXPECT_EQ(ini.readNumber("N", "Text"), std::nullopt);
    EXPECT_EQ(ini.readNumber("N", "BareX"), std::nullopt);
    EXPECT_EQ(ini.readNumber("N", "Missing"), std::nullopt);
}

TEST_F(IniFileRead, MissingOrUnreadableFileIsEmpty) {
    EXPECT_FALSE(IniFile::load(path).exists());
    EXPECT_FALSE(IniFile::load(QString::fromStdString(world.root().string())).exists());
    EXPECT_EQ(IniFile::load(path).readString("S", "K", "default"), "default");
}
