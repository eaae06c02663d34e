// Loading language files into the string table.
#include "i18n/string_table.h"
#include "tests/common/temp_world.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QString>

#include <filesystem>

namespace {

enum class Encoding { Utf16LeWithBom, Utf8 };

class LanguageFileTest : public ::testing::Test {
protected:
    void SetUp() override { i18n::resetStringTable(); }
    void TearDown() override { i18n::resetStringTable(); }

    // Writes `content` (lines separated by "\n") with CR LF line ends and returns the file's path.
    QString writeFile(const QString& name, const QString& content,
                      Encoding encoding = Encoding::Utf16LeWithBom) {
        const QString path = QString::fromStdString((world_.root() / name.toStdString()).string());
        QString text = content;
        text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
        QByteArray bytes;
        if (encoding == Encoding::Utf16LeWithBom) {
            bytes = QByteArray("\xFF\xFE", 2);
            bytes.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
        } else {
            bytes = text.toUtf8();
        }
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    QString missingPath() const { return QString::fromStdString((world_.root() / "absent.lng").string()); }

    TempWorld world_;
};

TEST_F(LanguageFileTest, MissingFileKeepsTheBuiltInTexts) {
    i18n::LoadLanguageFile(missingPath());
    for (const QString& key : i18n::stringTableKeys()) {
        const QByteArray name = key.toUtf8();
        EXPECT_EQ(i18n::text(name.constData()), i18n::builtInText(name.constData())) << name.constData();
    }
}

TEST_F(LanguageFileTest, FileWithOnlyOneKeyBlanksOrEmptiesEveryOtherEntry) {
    i18n::LoadLanguageFile(
        writeFile(QStringLiteral("dead.lng"), QStringLiteral("[Caption]\nK_Dead=Key locked\n")));

    EXPECT_EQ(i18n::text("K_Dead"), QStringLiteral("Key locked"));
    int blanks = 0;
    int empties = 0;
    for (const QString& key : i18n::stringTableKeys()) {
        if (key == QStringLiteral("K_Dead"))
            continue;
        const QString value = i18n::text(key);
        if (value == QStringLiteral(" "))
            ++blanks;
        else if (value.isEmpty())
            ++empties;
        else
            ADD_FAILURE() << key.toStdString() << " kept " << value.toStdString();
        EXPECT_EQ(value, i18n::missingKeyValue(key.toUtf8().constData())) << key.toStdString();
    }
    // K_Dead itself belongs to the keys that turn into a blank.
    EXPECT_EQ(blanks, 124);
    EXPECT_EQ(empties, 126);
    EXPECT_EQ(i18n::text("FontSize"), QString());
    EXPECT_EQ(i18n::text("P_MSGTitle"), QStringLiteral(" "));
}

TEST_F(LanguageFileTest, FileWithoutCaptionSectionSetsEveryMissingKeyValue) {
    i18n::LoadLanguageFile(
        writeFile(QStringLiteral("other.lng"), QStringLiteral("[Other]\nK_Dead=Key locked\n")));
    for (const QString& key : i18n::stringTableKeys()) {
        const QByteArray name = key.toUtf8();
        EXPECT_EQ(i18n::text(name.constData()), i18n::missingKeyValue(name.constData())) << name.constData();
    }
}

TEST_F(LanguageFileTest, MissingFileAfterALoadKeepsTheLoadedTexts) {
    i18n::LoadLanguageFile(
        writeFile(QStringLiteral("en.lng"),
                  QStringLiteral("[Caption]\nK_Dead=The USBKey is locked\nP_MSGTitle=Notice\n")));
    i18n::LoadLanguageFile(missingPath());
    EXPECT_EQ(i18n::text("K_Dead"), QStringLiteral("The USBKey is locked"));
    EXPECT_EQ(i18n::text("P_MSGTitle"), QStringLiteral("Notice"));
    EXPECT_EQ(i18n::text("K_PIN_Error"), QStringLiteral(" "));
}

TEST_F(LanguageFileTest, UnreadableFileKeepsTheCurrentTexts) {
    // A folder in place of the file exists but cannot be read as one.
    const auto folder = world_.root() / "folder.lng";
    std::filesystem::create_directory(folder);
    i18n::LoadLanguageFile(QString::fromStdString(folder.string()));
    EXPECT_EQ(i18n::text("K_Dead"), QStringLiteral("USBKey已锁死"));
    EXPECT_EQ(i18n::text("FontSize"), QStringLiteral("9"));

    // A file without read permission, where the account honours permissions at all.
    const QString path =
        writeFile(QStringLiteral("locked.lng"), QStringLiteral("[Caption]\nK_Dead=Locked\n"));
    QFile::setPermissions(path, QFileDevice::Permissions());
    if (!QFile(path).open(QIODevice::ReadOnly)) {
        i18n::LoadLanguageFile(path);
        EXPECT_EQ(i18n::text("K_Dead"), QStringLiteral("USBKey已锁死"));
    }
}

TEST_F(LanguageFileTest, QuotesKeepLeadingAndTrailingBlanks) {
    i18n::LoadLanguageFile(writeFile(QStringLiteral("quoted.lng"),
                                     QStringLiteral("[Caption]\nK_ErrorCODE_Str=\" ErrorCode :String= \"\n"
                                                    "P_Caption=  Tool   \n")));
    EXPECT_EQ(i18n::text("K_ErrorCODE_Str"), QStringLiteral(" ErrorCode :String= "));
    EXPECT_EQ(i18n::text("P_Caption"), QStringLiteral("Tool"));

    i18n::LoadLanguageFile(writeFile(QStringLiteral("unquoted.lng"),
                                     QStringLiteral("[Caption]\nK_ErrorCODE_Str= ErrorCode :String= \n")));
    EXPECT_EQ(i18n::text("K_ErrorCODE_Str"), QStringLiteral("ErrorCode :String="));
}

TEST_F(LanguageFileTest, FindsKeysAndSectionInOtherLetterCase) {
    i18n::LoadLanguageFile(
        writeFile(QStringLiteral("case.lng"),
                  QStringLiteral("[CAPTION]\nk_dead=lower\nP_MSGTITLE=UPPER\nfontsize=12\n")));
    EXPECT_EQ(i18n::text("K_Dead"), QStringLiteral("lower"));
    EXPECT_EQ(i18n::text("P_MSGTitle"), QStringLiteral("UPPER"));
    EXPECT_EQ(i18n::text("FontSize"), QStringLiteral("12"));
}

TEST_F(LanguageFileTest, ReadsUtf8FilesAndKeepsPlaceholders) {
    i18n::LoadLanguageFile(writeFile(QStringLiteral("utf8.lng"),
                                     QStringLiteral("[Caption]\nK_Try_Time=还剩%d次\nK_Dead=Gesperrt – ä\n"),
                                     Encoding::Utf8));
    EXPECT_EQ(i18n::text("K_Try_Time"), QStringLiteral("还剩%d次"));
    EXPECT_EQ(i18n::text("K_Dead"), QStringLiteral("Gesperrt – ä"));
}

TEST_F(LanguageFileTest, CutsValuesAt2047Characters) {
    const QString longText(3000, QLatin1Char('x'));
    i18n::LoadLanguageFile(
        writeFile(QStringLiteral("long.lng"), QStringLiteral("[Caption]\nK_Dead=") + longText));
    EXPECT_EQ(i18n::text("K_Dead"), QString(2047, QLatin1Char('x')));
}

TEST_F(LanguageFileTest, ResetRestoresTheBuiltInTexts) {
    i18n::LoadLanguageFile(
        writeFile(QStringLiteral("dead.lng"), QStringLiteral("[Caption]\nK_Dead=Locked\n")));
    i18n::resetStringTable();
    EXPECT_EQ(i18n::text("K_Dead"), QStringLiteral("USBKey已锁死"));
    EXPECT_EQ(i18n::text("FontName"), QStringLiteral("宋体"));
}

} // namespace

TEST_F(LanguageFileTest, LanguageIdFollowsTheFileLoadedLast) {
    EXPECT_EQ(i18n::loadedLanguageId(), 2052);
    const QString caption = QStringLiteral("[Caption]\nK_Dead=x\n");
    i18n::LoadLanguageFile(writeFile(QStringLiteral("EN_1033.lng"), caption));
    EXPECT_EQ(i18n::loadedLanguageId(), 1033);
    i18n::LoadLanguageFile(missingPath());
    EXPECT_EQ(i18n::loadedLanguageId(), 1033) << "a missing file changes nothing";
    i18n::LoadLanguageFile(writeFile(QStringLiteral("CHS_2052.lng"), caption));
    EXPECT_EQ(i18n::loadedLanguageId(), 2052);
    i18n::LoadLanguageFile(writeFile(QStringLiteral("custom.lng"), caption));
    EXPECT_EQ(i18n::loadedLanguageId(), 0);
    i18n::resetStringTable();
    EXPECT_EQ(i18n::loadedLanguageId(), 2052);
}
