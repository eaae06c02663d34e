// Not a test: screenshots of certificate health in both shipped languages, for people to look at: the tree
// with a certificate in each state and a tooltip, the viewer's general tab and the notice after a scan.
// Disabled in normal runs; scripts/screenshots.sh runs it on Xvfb beside the page screenshots.
#include "form_parts.h"
#include "i18n/health_texts.h"
#include "key_window_fixture.h"
#include "screen_picture.h"
#include "token/flows/key_health.h"
#include "token/lib/paths.h"
#include "token/lib/softkey/softkey_driver.h"
#include "token/lib/softkey/virtual_key_manager.h"
#include "tools/demo_credentials.h"
#include "ui/apply_language.h"
#include "ui/cert_viewer_dialog.h"
#include "ui/main_actions.h"
#include "ui/message_service.h"
#include "ui/pages/certificates_page.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QToolTip>

namespace {

constexpr long kDay = 86400;

class HealthScreenshots : public KeyWindowTest {
protected:
    HealthScreenshots() {
        library.reset();
        quillard::VirtualKeySettings settings;
        settings.serial = "PZHEALTH01";
        settings.label = "PellorZu Health";
        settings.userPin = "12345678";
        settings.soPin = "87654321";
        settings.kdfIterations = 16;
        std::string made, detail;
        EXPECT_EQ(quillard::VirtualKeyManager().create(settings, made, &detail), 0) << detail;
        using quillard::demo::KeyType;
        const quillard::Credential authority = quillard::demo::makeCredential(
            KeyType::EcP256, "PellorZu Test CA", {-kDay, 3650 * kDay}, nullptr, true);
        put("Mail", 1,
            quillard::demo::makeCredential(KeyType::EcP256, "Alice (expires soon)",
                                           {-300 * kDay, 3 * kDay + 3600}, &authority));
        put("Mail", 2,
            quillard::demo::makeCredential(KeyType::EcP256, "Alice (expired)", {-400 * kDay, -5 * kDay},
                                           &authority));
        put("Web", 1,
            quillard::demo::makeCredential(KeyType::EcP256, "Bob (not yet valid)", {20 * kDay, 400 * kDay}));
        put("Web", 2, quillard::demo::makeCredential(KeyType::Rsa2048, "Bob (valid)", {-kDay, 365 * kDay}));
    }
    void put(const std::string& container, int32_t spec, const quillard::Credential& credential) {
        quillard::SoftkeyDriver driver{quillard::keysFolder()};
        std::vector<std::string> serials, names;
        ASSERT_EQ(driver.find(serials), 0);
        int32_t retries = 0;
        ASSERT_EQ(driver.login(0, quillard::PinKind::User, "12345678", retries), 0);
        driver.listContainers(0, names);
        if (std::find(names.begin(), names.end(), container) == names.end()) {
            ASSERT_EQ(driver.createContainer(0, container), 0);
        }
        ASSERT_EQ(driver.importCredential(0, container, spec, credential), 0);
    }
    void shoot(const QString& name) { saveScreenPicture(name); }
    // Shows `text` as the window shows a notice, and takes its picture.
    void shootNotice(const QString& text, const QString& name) {
        QTimer::singleShot(0, [this, name] {
            shoot(name);
            QApplication::activeModalWidget()->close();
        });
        ui::QtMessageService().inform(&form(), text);
    }
};

} // namespace

TEST_F(HealthScreenshots, DISABLED_TreeViewerAndNoticeInBothLanguages) {
    form().buildsCertTree = true;
    shownForm();
    waitForKeyOperations(form());
    part<QTimer>(form(), "TCheckInit")->stop();
    const QString notice = messages.messageTexts().value(0);
    for (const char* file : {"CHS_2052", "EN_1033"}) {
        messages.clear();
        showInLanguage(form(), file);
        select(keyNode(0)->child(2));
        form().findChild<QLineEdit*>(QStringLiteral("edtUPIN"))->setText(QStringLiteral("12345678"));
        QTest::keyClick(form().findChild<QLineEdit*>(QStringLiteral("edtUPIN")), Qt::Key_Return);
        waitForKeyOperations(form());
        QTreeWidget* tree = part<ui::CertificatesPage>(form(), "TabSheet5")->tvCert;
        QTreeWidgetItem* soon = tree->topLevelItem(0)->child(0)->child(0);
        const QRect place = tree->visualItemRect(soon);
        QToolTip::showText(tree->viewport()->mapToGlobal(place.bottomLeft()), soon->toolTip(0), tree);
        shoot(QString::fromLatin1(file) + QStringLiteral("-health-tree"));
        QToolTip::hideText();
        tree->setCurrentItem(soon);
        ui::CertViewerDialog::setShownHook([this, file](ui::CertViewerDialog&) {
            shoot(QString::fromLatin1(file) + QStringLiteral("-health-viewer"));
        });
        actionsOf(form()).AcListCert->trigger();
        ui::CertViewerDialog::setShownHook(nullptr);
        // The notice the first scan showed, made again in this language.
        QStringList lines;
        const auto health = token::flows::readKeyHealth(0, token::flows::secondsNow(), 30);
        for (const auto& report : token::flows::expiringOrExpired(health))
            lines << i18n::expiryNoticeLine(QString::fromStdU16String(report.certificate.info.subject),
                                            report.health);
        shootNotice(i18n::expiryNoticeText(QStringLiteral("PellorZu Health"), lines),
                    QString::fromLatin1(file) + QStringLiteral("-health-notice"));
    }
    EXPECT_FALSE(notice.isEmpty()) << "the first scan told about the key";
}
