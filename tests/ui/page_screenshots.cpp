// Not a test: a screenshot of every page in both shipped languages, for people to look at. It is disabled in
// normal runs; scripts/screenshots.sh runs it on an X server (Xvfb) with virtual keys and saves the pictures
// with `import -window root` into SCREENSHOT_DIR.
#include "form_parts.h"
#include "i18n/outcome_texts.h"
#include "key_window_fixture.h"
#include "screen_picture.h"
#include "token/lib/softkey/virtual_key_manager.h"
#include "ui/apply_language.h"
#include "ui/handlers/confirmation_text.h"
#include "ui/language_choice.h"
#include "ui/message_service.h"
#include "ui/pages/about_page.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

namespace {

class PageScreenshots : public KeyWindowTest {
protected:
    PageScreenshots() {
        library.reset();
        for (const char* serial : {"PZSHOT0001", "PZSHOT0002"}) {
            quillard::VirtualKeySettings settings;
            settings.serial = serial;
            settings.label = std::string("PellorZu ") + serial;
            settings.userPin = "12345678";
            settings.soPin = "87654321";
            settings.kdfIterations = 16;
            std::string made;
            std::string detail;
            EXPECT_EQ(quillard::VirtualKeyManager().create(settings, made, &detail), 0) << detail;
        }
    }
    // Shows `text` as a notice (or, with `question`, as a question) and takes its picture under `name`.
    void shootMessage(const QString& name, const QString& text, bool question = false) {
        QTimer::singleShot(0, [this, name] {
            shoot(name);
            QApplication::activeModalWidget()->close();
        });
        if (question)
            ui::QtMessageService().ask(&form(), text);
        else
            ui::QtMessageService().inform(&form(), text);
    }
    void shoot(const QString& name) { saveScreenPicture(name); }
};

} // namespace

TEST_F(PageScreenshots, DISABLED_EveryPageInBothLanguages) {
    shownForm();
    part<QTimer>(form(), "TCheckInit")->stop();
    ui::fillLanguageBox(part<ui::AboutPage>(form(), "TabSheet7")->cbLanguageID, ui::kLanguageChinese);
    for (const char* file : {"CHS_2052", "EN_1033"}) {
        showInLanguage(form(), file);
        QTreeWidgetItem* key = keyNode(0);
        QTreeWidgetItem* administration = key->child(3);
        const std::pair<QTreeWidgetItem*, const char*> pages[] = {
            {key, "key-info"},
            {key->child(0), "user-pin"},
            {key->child(1), "key-name"},
            {key->child(2), "login"},
            {part<QTreeWidget>(form(), "tv")->topLevelItem(1), "system-check"},
            {part<QTreeWidget>(form(), "tv")->topLevelItem(2), "about"},
            {administration->child(0), "init"},
            {administration->child(1), "so-pin"},
            {administration->child(2), "unlock"},
            {administration->child(3), "iso"},
        };
        for (const auto& [node, name] : pages) {
            select(node);
            // The recording window of the fixture only notes the call; the picture wants the real rows.
            if (node == part<QTreeWidget>(form(), "tv")->topLevelItem(1))
                form().TMainForm::ShowSystemInfo();
            shoot(QString::fromLatin1(file) + QLatin1Char('-') + QLatin1String(name));
        }
        // The certificates page after a login.
        select(key->child(2));
        form().findChild<QLineEdit*>(QStringLiteral("edtUPIN"))->setText(QStringLiteral("12345678"));
        QTest::keyClick(form().findChild<QLineEdit*>(QStringLiteral("edtUPIN")), Qt::Key_Return);
        shoot(QString::fromLatin1(file) + QStringLiteral("-certificates"));
        // The certificate request page of the logged-in key, partly filled.
        select(key->child(4));
        waitForKeyOperations(form());
        form().findChild<QLineEdit*>(QStringLiteral("edtEnrolContainer"))->setText(QStringLiteral("Web"));
        form().findChild<QLineEdit*>(QStringLiteral("edtEnrolCN"))->setText(QStringLiteral("张三 Zhang San"));
        form().findChild<QLineEdit*>(QStringLiteral("edtEnrolC"))->setText(QStringLiteral("CN"));
        shoot(QString::fromLatin1(file) + QStringLiteral("-request"));
        // A short notice, as the Qt dialogs show it.
        QTimer::singleShot(0, [this, file] {
            shoot(QString::fromLatin1(file) + QStringLiteral("-notice"));
            QApplication::activeModalWidget()->close();
        });
        ui::QtMessageService().inform(&form(), i18n::text("K_Set_Yes"));
        // The messages that say what happened: a PIN outside the key's limits, a key pulled out during a
        // write, an image too large for the disk area, and a question that names its key and certificate.
        const QString prefix = QString::fromLatin1(file) + QLatin1Char('-');
        shootMessage(prefix + "pin-length", i18n::pinLengthText(4, 16));
        shootMessage(prefix + "key-removed",
                     i18n::failureText(i18n::text("ISo_Down_No") + "(ErrorCode = 0x00000032)", 0x32));
        shootMessage(prefix + "iso-too-big", i18n::isoTooBigText(int64_t(2) << 30, int64_t(16) << 20));
        shootMessage(prefix + "not-supported", i18n::failureText(i18n::text("K_Set_No"), 0x54));
        shootMessage(prefix + "delete-question",
                     ui::confirmationText(i18n::text("K_DEL_YES_NO"), token::keyTable().keys[0], "Tree RSA"),
                     true);
    }
}
