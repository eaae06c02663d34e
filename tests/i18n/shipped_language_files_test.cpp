// The language files shipped in Languages/: complete, in the right encoding, and translations that keep what
// the program relies on.
#include "i18n/string_table.h"
#include "platform/ini_file.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QSet>

namespace {

const QString kLanguagesDir = QStringLiteral(PELLORZU_LANGUAGES_DIR);
const QString kChinesePath = kLanguagesDir + QStringLiteral("/CHS_2052.lng");
const QString kEnglishPath = kLanguagesDir + QStringLiteral("/EN_1033.lng");
// A default no shipped file can hold, so a missing key shows up as this value.
const QString kAbsent = QStringLiteral("\x01absent\x01");

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The Format placeholders of `text`, in order ("%d", "%s", "%5.2f", ...); "%%" is a literal percent sign.
QStringList placeholdersOf(const QString& text) {
    static const QRegularExpression placeholder(QStringLiteral("%(%|[-0-9.:*]*[a-zA-Z])"));
    QStringList found;
    for (auto match = placeholder.globalMatch(text); match.hasNext();) {
        const QString token = match.next().captured(0);
        if (token != QStringLiteral("%%"))
            found.append(token.toLower());
    }
    return found;
}

bool holdsCjk(const QString& text) {
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u >= 0x2E80 && u <= 0x9FFF) || (u >= 0xF900 && u <= 0xFAFF) || (u >= 0xFF00 && u <= 0xFFEF))
            return true;
    }
    return false;
}

// Every `key=` of section "Caption", as written in the file.
QStringList keysWrittenIn(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    const QString text =
        QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData() + 2), (bytes.size() - 2) / 2);
    QStringList keys;
    bool inCaption = false;
    for (const QString& line : text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
        if (line.startsWith(QLatin1Char('[')))
            inCaption = line.trimmed() == QStringLiteral("[Caption]");
        else if (inCaption)
            keys.append(line.section(QLatin1Char('='), 0, 0).trimmed());
    }
    return keys;
}

TEST(ShippedLanguageFilesTest, AreUtf16LittleEndianWithByteOrderMark) {
    for (const QString& path : {kChinesePath, kEnglishPath}) {
        const QByteArray bytes = fileBytes(path);
        ASSERT_GT(bytes.size(), 2) << path.toStdString();
        EXPECT_TRUE(bytes.startsWith("\xFF\xFE")) << path.toStdString();
        EXPECT_EQ(bytes.size() % 2, 0) << path.toStdString();
    }
}

TEST(ShippedLanguageFilesTest, WriteEveryKeyOnceAndNothingElse) {
    const QStringList tableKeys = i18n::stringTableKeys();
    for (const QString& path : {kChinesePath, kEnglishPath}) {
        const QStringList written = keysWrittenIn(path);
        EXPECT_EQ(written, tableKeys) << path.toStdString();

        const auto file = platform::IniFile::load(path);
        ASSERT_TRUE(file.exists()) << path.toStdString();
        for (const QString& key : tableKeys)
            EXPECT_NE(file.readString(QStringLiteral("Caption"), key, kAbsent), kAbsent)
                << path.toStdString() << " lacks " << key.toStdString();
    }
}

TEST(ShippedLanguageFilesTest, ChineseFileRestoresEveryBuiltInText) {
    i18n::LoadLanguageFile(kEnglishPath);
    i18n::LoadLanguageFile(kChinesePath);
    // The file names a font that exists on the systems the program runs on, in place of the built-in one.
    EXPECT_EQ(i18n::text("FontName"), QStringLiteral("WenQuanYi Zen Hei"));
    for (const QString& key : i18n::stringTableKeys()) {
        if (key == QStringLiteral("FontName"))
            continue;
        const QByteArray name = key.toUtf8();
        EXPECT_EQ(i18n::text(name.constData()), i18n::builtInText(name.constData())) << name.constData();
    }
    i18n::resetStringTable();
}

TEST(ShippedLanguageFilesTest, EnglishFileTranslatesEveryEntry) {
    // Names of fonts, files and providers are not translated and may be anything.
    const QSet<QString> names = {QStringLiteral("FontName"),   QStringLiteral("CSP11Name"),
                                 QStringLiteral("PKCS11Name"), QStringLiteral("PROVIDER_NAME"),
                                 QStringLiteral("MonName"),    QStringLiteral("CallMainAppName")};
    i18n::LoadLanguageFile(kEnglishPath);
    for (const QString& key : i18n::stringTableKeys()) {
        const QByteArray name = key.toUtf8();
        const QString english = i18n::text(name.constData());
        const QString builtIn = i18n::builtInText(name.constData());
        EXPECT_FALSE(english.trimmed().isEmpty()) << name.constData();
        EXPECT_EQ(placeholdersOf(english), placeholdersOf(builtIn)) << name.constData();
        if (!names.contains(key)) {
            EXPECT_FALSE(holdsCjk(english)) << name.constData() << ": " << english.toStdString();
        }
    }
    EXPECT_EQ(i18n::text("PKCS11Name"), i18n::builtInText("PKCS11Name"));
    EXPECT_EQ(i18n::text("PROVIDER_NAME"), i18n::builtInText("PROVIDER_NAME"));
    EXPECT_EQ(i18n::text("MonName"), i18n::builtInText("MonName"));
    EXPECT_GT(i18n::text("FontSize").toInt(), 0);
    i18n::resetStringTable();
}

TEST(ShippedLanguageFilesTest, LanguageConfigurationChoosesChinese) {
    const auto config = platform::IniFile::load(kLanguagesDir + QStringLiteral("/LanguageConfig.ini"));
    ASSERT_TRUE(config.exists());
    EXPECT_EQ(config.readInt(QStringLiteral("Language"), QStringLiteral("LanguageID"), 0), 2052);
}

} // namespace
