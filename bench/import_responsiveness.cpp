// How long the window thread goes without running its event loop while a PKCS#12 file is imported through
// the window into a virtual key that holds 65 containers, from the dialog's OK to the rebuilt tree. Prints
// that longest pause with the whole import's duration. Runs off screen: build/bin/import_responsiveness
#include "event_loop_watch.h"
#include "i18n/string_table.h"
#include "tests/common/temp_world.h"
#include "tests/ui/form_parts.h"
#include "token/key_table.h"
#include "token/lib/paths.h"
#include "token/lib/softkey/softkey_driver.h"
#include "token/lib/softkey/virtual_key_manager.h"
#include "tools/demo_credentials.h"
#include "ui/import_dialog.h"
#include "ui/main_actions.h"
#include "ui/main_form.h"
#include "ui/pages/certificates_page.h"
#include "ui/scripted_message_service.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

constexpr const char* kPin = "12345678";
constexpr int kContainers = 65;

void fail(const char* what) {
    std::fprintf(stderr, "import_responsiveness: %s\n", what);
    std::exit(1);
}

void makeKeyWithContainers() {
    quillard::VirtualKeySettings settings;
    settings.serial = "BENCHIMP";
    settings.label = "Bench import";
    settings.userPin = kPin;
    settings.soPin = "87654321";
    settings.totalMemory = 4 << 20;
    settings.kdfIterations = 16;
    std::string serial;
    if (quillard::VirtualKeyManager().create(settings, serial) != 0)
        fail("cannot create the key");
    quillard::SoftkeyDriver driver{quillard::keysFolder()};
    std::vector<std::string> serials;
    int32_t retries = 0;
    if (driver.find(serials) != 0 || driver.login(0, quillard::PinKind::User, kPin, retries) != 0)
        fail("cannot log in to the key");
    const quillard::Credential credential =
        quillard::demo::makeSelfSignedCredential(quillard::demo::KeyType::EcP256, "Bench");
    for (int i = 0; i < kContainers - 1; ++i) {
        const std::string name = "container " + std::to_string(i);
        if (driver.createContainer(0, name) != 0 || driver.importCredential(0, name, 1, credential) != 0 ||
            driver.importCredential(0, name, 2, credential) != 0)
            fail("cannot fill the key");
    }
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication application(argc, argv);
    TempWorld world;
    makeKeyWithContainers();
    const auto pfx = world.root() / "import.pfx";
    if (!quillard::demo::writePkcs12File(
            pfx, quillard::demo::makeSelfSignedCredential(quillard::demo::KeyType::Rsa2048, "Imported"), "pw",
            false))
        fail("cannot write the PKCS#12 file");

    ui::ScriptedMessageService messages;
    const QString programFolder = QString::fromStdString((world.root() / "program").string()) + '/';
    TMainForm form(programFolder);
    form.show();
    waitForKeyOperations(form);
    part<QTimer>(form, "TCheckInit")->stop();
    QTreeWidgetItem* certificates = part<QTreeWidget>(form, "tv")->topLevelItem(0)->child(0)->child(2);
    part<QTreeWidget>(form, "tv")->setCurrentItem(certificates);
    form.findChild<QLineEdit*>(QStringLiteral("edtUPIN"))->setText(QString::fromLatin1(kPin));
    QTest::keyClick(form.findChild<QLineEdit*>(QStringLiteral("edtUPIN")), Qt::Key_Return);
    waitForKeyOperations(form);
    if (token::keyTable().loginState[0] != token::LoggedIn)
        fail("the window did not log in");

    QElapsedTimer clock;
    std::optional<LoopWatch> watch;
    ui::TIMForm::setShownHook([&](ui::TIMForm& dialog) {
        dialog.rb1->setChecked(true);
        dialog.rb1Click();
        dialog.chooseFile(QString::fromStdString(pfx.string()));
        dialog.edtpwd->setText(QStringLiteral("pw"));
        dialog.edtContname->setText(QStringLiteral("imported"));
        dialog.btnOK->click();
        // From the moment OK was pressed.
        clock.start();
        watch.emplace(QAbstractEventDispatcher::instance(), true);
    });
    actionsOf(form).AcInputCert->trigger();
    waitForKeyOperations(form);
    const qint64 total = clock.nsecsElapsed();
    ui::TIMForm::setShownHook(nullptr);
    if (!messages.messages().isEmpty() ||
        part<ui::CertificatesPage>(form, "TabSheet5")->tvCert->topLevelItemCount() != kContainers)
        fail("the import did not succeed");
    std::printf("PKCS#12 import into a key with %d containers, tree rebuild included: %.1f ms\n", kContainers,
                total / 1e6);
    std::printf("longest time without the event loop: %lld ms\n",
                static_cast<long long>(watch->longestBusyMs()));
    return 0;
}
