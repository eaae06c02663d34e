// How long the window thread goes without its event loop while the window works on a slow token: a SoftHSM2
// token holding 20 certificates behind the test token module, every call delayed by 200 ms and then by 0 ms.
// For each delay it prints the longest such stretch (goal under 50 ms) and the duration of the first scan, a
// login with its certificate tree, and a rebuild of the tree. Runs off screen:
// build/bin/slow_token_responsiveness [delays in ms ...]
#include "event_loop_watch.h"
#include "tests/common/softhsm_token.h"
#include "tests/common/temp_world.h"
#include "tests/ui/form_parts.h"
#include "token/key_table.h"
#include "tools/demo_credentials.h"
#include "ui/main_actions.h"
#include "ui/main_form.h"
#include "ui/pages/certificates_page.h"
#include "ui/scripted_message_service.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int kCertificates = 20;
constexpr const char* kLabel = "Slow token";

void fail(const char* what) {
    std::fprintf(stderr, "slow_token_responsiveness: %s\n", what);
    std::exit(1);
}

void fillToken(const TempWorld& world) {
    if (softhsm::modulePath().empty() || !softhsm::initToken(kLabel))
        fail("SoftHSM2 is needed (softhsm2-util)");
    const auto p12 = world.root() / "fill.p12";
    const quillard::Credential credential =
        quillard::demo::makeSelfSignedCredential(quillard::demo::KeyType::EcP256, "Bench");
    if (!quillard::demo::writePkcs12File(p12, credential, "pw", false))
        fail("cannot write the PKCS#12 file");
    for (int i = 0; i < kCertificates; ++i)
        if (!softhsm::fillToken(kLabel, "container " + std::to_string(i), 1, p12.string(), "pw"))
            fail("cannot fill the token");
}

struct Phase {
    qint64 longestPauseMs = 0;
    qint64 durationMs = 0;
};

// Runs `step` and waits for the key operations it started, watching the event loop meanwhile.
Phase measure(TMainForm& form, const std::function<void()>& step) {
    LoopWatch watch(QAbstractEventDispatcher::instance(), true);
    QElapsedTimer clock;
    clock.start();
    step();
    waitForKeyOperations(form, 600000);
    return {watch.longestBusyMs(), clock.elapsed()};
}

void print(const char* what, const Phase& phase) {
    std::printf("  %-34s %6lld ms, longest time without the event loop %4lld ms\n", what,
                static_cast<long long>(phase.durationMs), static_cast<long long>(phase.longestPauseMs));
}

void runWithDelay(const TempWorld& world, int delayMs) {
    const auto settings = world.root() / "token-double.conf";
    if (!writeTestFile(settings, "module = " + softhsm::modulePath() +
                                     "\ndelayed = *\ndelay_ms = " + std::to_string(delayMs) + "\n"))
        fail("cannot write the module settings");
    qputenv("PZ_TEST_TOKEN_SETTINGS", QByteArray::fromStdString(settings.string()));
    qputenv("QUILLARD_PKCS11_MODULES", PZ_TEST_TOKEN_MODULE_PATH);

    const QString programFolder = QString::fromStdString((world.root() / "program").string()) + '/';
    TMainForm form(programFolder);
    std::printf("every token call delayed %d ms, %d certificates:\n", delayMs, kCertificates);
    print("window shown, library started, scan", measure(form, [&] { form.show(); }));
    part<QTimer>(form, "TCheckInit")->stop();
    if (token::keyTable().keyCount != 1)
        fail("the token was not found");
    QTreeWidgetItem* certificates = part<QTreeWidget>(form, "tv")->topLevelItem(0)->child(0)->child(2);
    part<QTreeWidget>(form, "tv")->setCurrentItem(certificates);
    auto* pin = form.findChild<QLineEdit*>(QStringLiteral("edtUPIN"));
    pin->setText(QString::fromLatin1(softhsm::kUserPin));
    print("login with the certificate tree", measure(form, [&] { QTest::keyClick(pin, Qt::Key_Return); }));
    if (part<ui::CertificatesPage>(form, "TabSheet5")->tvCert->topLevelItemCount() != kCertificates)
        fail("the certificate tree is not complete");
    print("certificate tree rebuilt (refresh)", measure(form, [&] { actionsOf(form).Acrefresh->trigger(); }));
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication application(argc, argv);
    TempWorld world;
    ui::ScriptedMessageService messages;
    fillToken(world);
    std::vector<int> delays;
    for (int i = 1; i < argc; ++i)
        delays.push_back(std::atoi(argv[i]));
    if (delays.empty())
        delays = {200, 0};
    for (const int delay : delays)
        runWithDelay(world, delay);
    if (!messages.messages().isEmpty())
        fail("the window showed a message");
    return 0;
}
