// Languages/LanguageConfig.ini: the language identifier read and written, and a refused write reported.
#include "config/language_config.h"
#include "tests/common/temp_world.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

class LanguageConfig : public ::testing::Test {
protected:
    TempWorld world;
    QString folder = QString::fromStdString((world.root() / "Languages").string());
    QString path = folder + "/LanguageConfig.ini";
};

} // namespace

TEST_F(LanguageConfig, WritesAndReadsTheIdentifier) {
    ASSERT_TRUE(QDir().mkpath(folder));
    QString error;
    ASSERT_TRUE(WriteLanguageID(path, 1033, error));
    EXPECT_TRUE(error.isEmpty());
    qint32 id = -1;
    EXPECT_EQ(ReadLanguageID(path, id), 0);
    EXPECT_EQ(id, 1033);
    ASSERT_TRUE(WriteLanguageID(path, 2052, error));
    EXPECT_EQ(ReadLanguageID(path, id), 0);
    EXPECT_EQ(id, 2052);
}

TEST_F(LanguageConfig, MissingFileOrValue) {
    qint32 id = 2052;
    EXPECT_EQ(ReadLanguageID(path, id), 1);
    EXPECT_EQ(id, 2052);
    ASSERT_TRUE(QDir().mkpath(folder));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Language]\nLanguageID=english\n");
    file.close();
    EXPECT_EQ(ReadLanguageID(path, id), 0);
    EXPECT_EQ(id, 0);
}

TEST_F(LanguageConfig, OnlyAWholeNumberIsAnIdentifier) {
    ASSERT_TRUE(QDir().mkpath(folder));
    const auto readValue = [this](const QByteArray& value) {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("[language]\nlanguageid=" + value + "\n");
        file.close();
        qint32 id = -1;
        EXPECT_EQ(ReadLanguageID(path, id), 0);
        return id;
    };
    EXPECT_EQ(readValue("1033abc"), 0);
    EXPECT_EQ(readValue("20 52"), 0);
    EXPECT_EQ(readValue(" 1033 "), 1033);
    EXPECT_EQ(readValue("0x804"), 2052);
    EXPECT_EQ(readValue(""), 0);
}

TEST_F(LanguageConfig, RefusedWriteReportsThePath) {
    QString error;
    EXPECT_FALSE(WriteLanguageID(path, 1033, error));
    EXPECT_EQ(error, "Unable to write to " + path);
    EXPECT_FALSE(QFileInfo::exists(path));
}
