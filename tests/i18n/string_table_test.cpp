// The fixed content of the string table: its keys, built-in texts and missing-key values.
#include "i18n/string_table.h"

#include <gtest/gtest.h>

#include <QSet>

namespace {

class StringTableTest : public ::testing::Test {
protected:
    void SetUp() override { i18n::resetStringTable(); }
};

TEST_F(StringTableTest, HoldsEveryKeyOnceWith125BlankAnd126EmptyMissingValues) {
    const QStringList keys = i18n::stringTableKeys();
    ASSERT_EQ(keys.size(), 251);

    QSet<QString> folded;
    int blanks = 0;
    int empties = 0;
    for (const QString& key : keys) {
        // The loader matches keys without regard to case, so two keys differing only in case would collide.
        EXPECT_TRUE(!folded.contains(key.toLower())) << key.toStdString();
        folded.insert(key.toLower());
        const QString missing = i18n::missingKeyValue(key.toUtf8().constData());
        if (missing == QStringLiteral(" "))
            ++blanks;
        else if (missing.isEmpty())
            ++empties;
        else
            ADD_FAILURE() << "unexpected missing-key value for " << key.toStdString();
    }
    EXPECT_EQ(blanks, 125);
    EXPECT_EQ(empties, 126);
}

TEST_F(StringTableTest, StartsWithTheBuiltInTexts) {
    for (const QString& key : i18n::stringTableKeys()) {
        const QByteArray name = key.toUtf8();
        EXPECT_EQ(i18n::text(name.constData()), i18n::builtInText(name.constData())) << name.constData();
        EXPECT_FALSE(i18n::text(name.constData()).isEmpty()) << name.constData();
    }
    EXPECT_EQ(i18n::text("K_Dead"), QStringLiteral("USBKey已锁死"));
    EXPECT_EQ(i18n::text("P_MSGTitle"), QStringLiteral("提示"));
    EXPECT_EQ(i18n::text("K_OldCheck"), QStringLiteral("原口令不正确,您还有%d次重试机会"));
    EXPECT_EQ(i18n::text(QStringLiteral("S_PIN_equal")), QStringLiteral("新口令和确认口令必须相同！"));
}

TEST_F(StringTableTest, KeepsSignificantBlanksOfBuiltInTexts) {
    EXPECT_EQ(i18n::text("K_ErrorCODE_Str"), QStringLiteral(" ErrorCode :String= "));
    EXPECT_EQ(i18n::text("P_Caption"), QStringLiteral("PKI管理工具   "));
}

TEST_F(StringTableTest, SortsKeysIntoTheirMissingValueGroups) {
    EXPECT_EQ(i18n::missingKeyValue("K_Dead"), QStringLiteral(" "));
    EXPECT_EQ(i18n::missingKeyValue("K_ErrorCODE_Str"), QStringLiteral(" "));
    EXPECT_EQ(i18n::missingKeyValue("FontSize"), QString());
    EXPECT_EQ(i18n::missingKeyValue("MonName"), QString());
    EXPECT_EQ(i18n::missingKeyValue("Config_Form_DefaultPIN"), QString());
}

TEST_F(StringTableTest, UnknownKeysGiveEmptyTexts) {
    EXPECT_TRUE(i18n::text("K_NoSuchKey").isEmpty());
    EXPECT_TRUE(i18n::text(static_cast<const char*>(nullptr)).isEmpty());
    EXPECT_TRUE(i18n::builtInText("K_NoSuchKey").isEmpty());
    EXPECT_TRUE(i18n::missingKeyValue("K_NoSuchKey").isEmpty());
}

} // namespace
