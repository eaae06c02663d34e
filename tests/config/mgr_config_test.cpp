// MgrConfig.ini: Base64 of XML in any layout, and reads that stop early with the fields read so far.
#include "config/mgr_config.h"
#include "config/user_config_folder.h"
#include "tests/common/temp_world.h"

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

const char* fullDocument = R"(<?xml version="1.0"?>
<Config><!-- ????? ~~~~~ --><BaseInfo>
  <OpenURL OpenMode="1" URL="https://example.org/?a=1&amp;b=2" BrowserMode="2"/>
  <CertEndDay CertDayMode="1" CertDay="30"/>
  <LanguageID>2052</LanguageID>
  <DefaultPIN>0</DefaultPIN>
</BaseInfo></Config>)";

class MgrConfig : public ::testing::Test {
protected:
    // Writes `fileText` and reads it into a record that starts out holding junk.
    int read(const QByteArray& fileText) {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(fileText);
        file.close();
        config = TConfigInfo{7, "junk", 7, 7, 7, 7, 7};
        return ReadMgrConfig(path, config);
    }
    int readXml(const QByteArray& xml) { return read(xml.toBase64()); }

    TempWorld world;
    QString path = GetUserConfigFolder() + "MgrConfig.ini";
    TConfigInfo config;
};

// Base64 text broken into lines of `width` characters, each group of four followed by `separator`.
QByteArray layOut(const QByteArray& base64, int width, const QByteArray& separator) {
    QByteArray text;
    for (qsizetype i = 0; i < base64.size(); i += 4) {
        text += base64.mid(i, 4) + separator;
        if ((i + 4) % width == 0)
            text += "\r\n";
    }
    return text;
}

} // namespace

TEST_F(MgrConfig, LivesInTheUserConfigFolder) {
    EXPECT_EQ(path, QString::fromStdString((world.configHome() / "Norvale/PellorZu/MgrConfig.ini").string()));
    EXPECT_TRUE(QFileInfo(GetUserConfigFolder()).isDir());
}

TEST_F(MgrConfig, ReadsBase64InAnyLayout) {
    const QByteArray base64 = QByteArray(fullDocument).toBase64();
    ASSERT_TRUE(base64.contains('+') && base64.contains('/')); // the whole alphabet is in use
    for (const QByteArray& text :
         {base64, layOut(base64, 76, ""), layOut(base64, 16, "  "), layOut(base64, 8, "\t")}) {
        ASSERT_EQ(read(text), 0) << text.constData();
        EXPECT_EQ(config.OpenMode, 1);
        EXPECT_EQ(config.URL, "https://example.org/?a=1&b=2");
        EXPECT_EQ(config.BrowserMode, 2);
        EXPECT_EQ(config.CertDayMode, 1);
        EXPECT_EQ(config.CertDay, 30);
        EXPECT_EQ(config.LanguageID, 2052);
        EXPECT_EQ(config.DefaultPIN, 0);
    }
}

TEST_F(MgrConfig, EmptyDefaultPINReadsAsOne) {
    QByteArray xml(fullDocument);
    xml.replace("<DefaultPIN>0</DefaultPIN>", "<DefaultPIN/>");
    EXPECT_EQ(readXml(xml), 0);
    EXPECT_EQ(config.DefaultPIN, 1);
}

TEST_F(MgrConfig, StopsAtTheFirstFieldItCannotRead) {
    EXPECT_EQ(
        readXml(R"(<R><BaseInfo><OpenURL OpenMode="1" URL="http://x.test" BrowserMode="0"/></BaseInfo></R>)"),
        1);
    EXPECT_EQ(config.OpenMode, 1);
    EXPECT_EQ(config.URL, "http://x.test");
    EXPECT_EQ(config.BrowserMode, 0);
    EXPECT_EQ(config.CertDayMode, 0);

    QByteArray badDay(fullDocument);
    badDay.replace("CertDay=\"30\"", "CertDay=\"thirty\"");
    EXPECT_EQ(readXml(badDay), 1);
    EXPECT_EQ(config.CertDayMode, 1);
    EXPECT_EQ(config.CertDay, 0);
    EXPECT_EQ(config.LanguageID, 0);
}

TEST_F(MgrConfig, AnythingElseLeavesTheRecordZero) {
    const TConfigInfo zero;
    auto expectZero = [&] {
        EXPECT_EQ(config.OpenMode, zero.OpenMode);
        EXPECT_EQ(config.URL, zero.URL);
        EXPECT_EQ(config.DefaultPIN, zero.DefaultPIN);
    };
    EXPECT_EQ(readXml(R"(<R><BaseInfo><OpenURL URL="http://x.test" BrowserMode="0"/></BaseInfo></R>)"), 1);
    expectZero();
    EXPECT_EQ(read("this is ~not~ base64 at all!"), 1);
    expectZero();
    EXPECT_EQ(readXml("OpenMode=1, but not XML"), 1);
    expectZero();
    QFile::remove(path);
    config.OpenMode = 5;
    EXPECT_EQ(ReadMgrConfig(path, config), 1);
    expectZero();
}
