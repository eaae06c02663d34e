// Switching the language at run time from the about page's language box: both ways, kept for the next start,
// and a setting that cannot be written (a folder in the way).
#include "config/language_config.h"
#include "form_parts.h"
#include "key_window_fixture.h"
#include "tests/common/read_only_program_folder.h"
#include "ui/handlers/language_handler.h"
#include "ui/language_choice.h"
#include "ui/pages/about_page.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QTimer>

namespace {

class LanguageSwitchTest : public KeyWindowTest {
protected:
    LanguageSwitchTest() {
        languages = programFolder + QStringLiteral("Languages/");
        QDir().mkpath(languages);
        for (const char* name : {"CHS_2052.lng", "EN_1033.lng"})
            QFile::copy(QStringLiteral(PELLORZU_SOURCE_DIR "/Languages/") + QLatin1String(name),
                        languages + QLatin1String(name));
        keys = {ScriptedKey{}};
    }
    // The box as the program fills it at start, with the built-in (Chinese) texts in effect.
    QComboBox* box() {
        QComboBox* languages = part<ui::AboutPage>(form(), "TabSheet7")->cbLanguageID;
        if (languages->count() == 0)
            ui::fillLanguageBox(languages, ui::kLanguageChinese);
        return languages;
    }
    // Picks `item` as the user would.
    void pick(int item) {
        box()->setCurrentIndex(item);
        emit box()->activated(item);
        waitForKeyOperations(form());
    }
    qint32 storedLanguage() {
        qint32 id = -1;
        ReadLanguageID(languages + QStringLiteral("LanguageConfig.ini"), id);
        return id;
    }
    QString label(const char* name) { return form().findChild<QLabel*>(QLatin1String(name))->text(); }

    QString languages;
};

} // namespace

TEST_F(LanguageSwitchTest, EnglishAndBackAtRunTimeAndKeptForTheNextStart) {
    shownForm();
    part<QTimer>(form(), "TCheckInit")->stop();
    token::keyTable().loginState[0] = token::LoggedIn;
    library->calls.clear();

    pick(1);
    EXPECT_EQ(storedLanguage(), 1033);
    EXPECT_EQ(label("label_language"), QStringLiteral("Language"));
    EXPECT_TRUE(form().windowTitle().startsWith(QStringLiteral("PKI Management Tool")));
    EXPECT_EQ(keyList()->text(0), QStringLiteral("USBKey List"));
    EXPECT_EQ(part<QTreeWidget>(form(), "tv")->topLevelItem(1)->text(0),
              QStringLiteral("System Information"));
    EXPECT_EQ(keyNode(0)->child(0)->text(0), QStringLiteral("Change USB Key PIN"));
    // The rescan logs every key out and shows the first key's information.
    EXPECT_EQ(library->count("token_find"), 1);
    EXPECT_EQ(token::keyTable().loginState[0], token::KeyPresent);
    EXPECT_EQ(page(), ui::PageKeyInfo);
    EXPECT_EQ(part<ui::LanguageHandler>(form(), "languageHandler")->languageInEffect(), 1033);

    pick(0);
    EXPECT_EQ(storedLanguage(), 2052);
    EXPECT_EQ(label("label_language"), QStringLiteral("语言"));
    EXPECT_EQ(keyList()->text(0), QStringLiteral("USBKey列表"));
    // The box's items read the same in both languages.
    EXPECT_EQ(box()->itemText(0), QStringLiteral("简体中文"));
    EXPECT_EQ(box()->itemText(1), QStringLiteral("English"));
}

TEST_F(LanguageSwitchTest, ARefusedWriteIsReportedAndChangesNothing) {
    QDir().mkpath(languages + QStringLiteral("LanguageConfig.ini"));
    shownForm();
    part<QTimer>(form(), "TCheckInit")->stop();
    library->calls.clear();
    const QString title = form().windowTitle();

    pick(1);
    ASSERT_EQ(messages.messageTexts(), QStringList{QStringLiteral("Unable to write to ") + languages +
                                                   QStringLiteral("LanguageConfig.ini")});
    EXPECT_EQ(messages.messages().first().icon, ui::MessageIcon::Error);
    EXPECT_EQ(box()->currentIndex(), 0);
    EXPECT_EQ(form().windowTitle(), title);
    EXPECT_EQ(label("label_language"), QStringLiteral("语言"));
    EXPECT_EQ(library->count("token_find"), 0);
}

TEST_F(LanguageSwitchTest, AReadOnlyProgramFolderKeepsTheChoiceInTheUsersCopy) {
    const ReadOnlyProgramFolder readOnly;
    const QString userCopy = QString::fromStdString((world.configHome() / "Norvale/PellorZu").string()) +
                             QStringLiteral("/Languages/LanguageConfig.ini");
    shownForm();
    part<QTimer>(form(), "TCheckInit")->stop();
    pick(1);
    EXPECT_TRUE(messages.messageTexts().isEmpty());
    EXPECT_EQ(label("label_language"), QStringLiteral("Language"));
    EXPECT_FALSE(QFileInfo::exists(languages + QStringLiteral("LanguageConfig.ini")));
    qint32 id = -1;
    ASSERT_EQ(ReadLanguageID(userCopy, id), 0);
    EXPECT_EQ(id, 1033);

    // A copy that cannot be written is named in the message, and the language stays.
    QFile::remove(userCopy);
    QDir().mkpath(userCopy);
    pick(0);
    EXPECT_EQ(messages.messageTexts(), QStringList{QStringLiteral("Unable to write to ") + userCopy});
    EXPECT_EQ(label("label_language"), QStringLiteral("Language"));
    EXPECT_EQ(box()->currentIndex(), 1);
}

TEST_F(LanguageSwitchTest, FillingTheBoxAtStartRunsNoChange) {
    part<ui::AboutPage>(form(), "TabSheet7")->cbLanguageID->setCurrentIndex(1);
    EXPECT_FALSE(QFileInfo::exists(languages + QStringLiteral("LanguageConfig.ini")));
    EXPECT_EQ(label("label_language"), QStringLiteral("语言"));
}
