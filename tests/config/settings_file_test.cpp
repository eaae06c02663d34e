// Settings files beside the program: untouched behaviour in a writable program folder; in a read-only one the
// user's own copy, started from the program's file, written privately and read first; refused writes.
#include "config/language_config.h"
#include "config/settings_file.h"
#include "tests/common/read_only_program_folder.h"
#include "tests/common/temp_world.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

class SettingsFileTest : public ::testing::Test {
protected:
    SettingsFileTest() { QDir().mkpath(programFolder + "Languages"); }

    static QByteArray contents(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    static void put(const QString& path, const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    static bool writeLanguage(const config::SettingsFile& file, qint32 id, QString& error) {
        return file.write([&](const QString& path) { return WriteLanguageID(path, id, error); });
    }

    TempWorld world;
    QString root = QString::fromStdString(world.root().string());
    QString programFolder = root + "/program/";
    QString besideProgram = programFolder + config::kLanguageConfigFile;
    QString userFolder = QString::fromStdString((world.configHome() / "Norvale/PellorZu").string());
    QString userCopy = userFolder + "/" + config::kLanguageConfigFile;
    config::SettingsFile file{programFolder, QLatin1String(config::kLanguageConfigFile)};
};

} // namespace

TEST_F(SettingsFileTest, AWritableProgramFolderIsReadAndWrittenAsBefore) {
    put(besideProgram, "[Language]\r\nLanguageID=2052\r\n");
    EXPECT_EQ(file.readPath(), besideProgram);
    EXPECT_EQ(file.writePath(), besideProgram);
    QString error;
    ASSERT_TRUE(writeLanguage(file, 1033, error));
    EXPECT_EQ(contents(besideProgram), "[Language]\r\nLanguageID=1033\r\n");
    EXPECT_FALSE(QFileInfo::exists(userFolder + "/Languages"));
    // A user's copy left by an installed program does not change what a portable copy reads.
    QDir().mkpath(userFolder + "/Languages");
    put(userCopy, "[Language]\nLanguageID=2052\n");
    EXPECT_EQ(file.readPath(), besideProgram);
}

TEST_F(SettingsFileTest, AReadOnlyProgramFolderGetsTheUsersOwnCopy) {
    const ReadOnlyProgramFolder readOnly;
    const QByteArray shipped = "; shipped\r\n[Language]\r\nLanguageID=2052\r\n[Other]\r\nKept=1\r\n";
    put(besideProgram, shipped);
    EXPECT_EQ(file.readPath(), besideProgram); // no copy yet: the shipped file
    EXPECT_EQ(file.writePath(), userCopy);

    QString error;
    ASSERT_TRUE(writeLanguage(file, 1033, error));
    EXPECT_EQ(contents(besideProgram), shipped);
    EXPECT_EQ(contents(userCopy), "; shipped\r\n[Language]\r\nLanguageID=1033\r\n[Other]\r\nKept=1\r\n");
    EXPECT_EQ(file.readPath(), userCopy);
    qint32 id = 0;
    ASSERT_EQ(ReadLanguageID(file.readPath(), id), 0);
    EXPECT_EQ(id, 1033);
    // What the program makes in the user's folder is its owner's only (no group or other bits).
    for (const QString& made : {userCopy, userFolder, userFolder + "/Languages"})
        EXPECT_EQ(QFileInfo(made).permissions().toInt() & 0x77, 0) << made.toStdString();

    ASSERT_TRUE(writeLanguage(file, 2052, error));
    ASSERT_EQ(ReadLanguageID(file.readPath(), id), 0);
    EXPECT_EQ(id, 2052);
    EXPECT_EQ(contents(besideProgram), shipped);
}

TEST_F(SettingsFileTest, WithoutAFileBesideTheProgramTheCopyStartsEmpty) {
    const ReadOnlyProgramFolder readOnly;
    QString error;
    ASSERT_TRUE(writeLanguage(file, 1033, error));
    qint32 id = 0;
    ASSERT_EQ(ReadLanguageID(userCopy, id), 0);
    EXPECT_EQ(id, 1033);
    EXPECT_FALSE(QFileInfo::exists(besideProgram));
}

TEST_F(SettingsFileTest, ARefusedWriteOfTheCopyNamesItAndLeavesNoCopy) {
    const ReadOnlyProgramFolder readOnly;
    put(besideProgram, "[Language]\r\nLanguageID=2052\r\n");
    // A writer that refuses: the copy started for it goes again.
    EXPECT_FALSE(file.write([](const QString&) { return false; }));
    EXPECT_FALSE(QFileInfo::exists(userCopy));
    EXPECT_EQ(file.readPath(), besideProgram);

    // A configuration folder that cannot exist (a file in its place) refuses even the root user.
    put(root + "/not-a-folder", "");
    qputenv("XDG_CONFIG_HOME", (root + "/not-a-folder/config").toLocal8Bit());
    const QString unreachable = root + "/not-a-folder/config/Norvale/PellorZu/" + config::kLanguageConfigFile;
    QString error;
    EXPECT_FALSE(writeLanguage(file, 1033, error));
    EXPECT_EQ(error, "Unable to write to " + unreachable);
    EXPECT_EQ(contents(besideProgram), "[Language]\r\nLanguageID=2052\r\n");
}

TEST_F(SettingsFileTest, TheDefaultCheckNeedsAFolderToWriteIn) {
    EXPECT_TRUE(config::mayReplaceFile(besideProgram));
    EXPECT_FALSE(config::mayReplaceFile(programFolder + "missing/Initconfig.ini"));
    put(root + "/plain-file", "");
    EXPECT_FALSE(config::mayReplaceFile(root + "/plain-file/Initconfig.ini"));
}
