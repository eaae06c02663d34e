#include "main_form.h"

#include "action_updater.h"
#include "apply_language.h"
#include "builtin_pictures.h"
#include "cert_health_context.h"
#include "cert_viewer_dialog.h"
#include "config/mgr_config.h"
#include "config/user_config_folder.h"
#include "device_watcher.h"
#include "filesystem_icons.h"
#include "form_widgets.h"
#include "i18n/string_table.h"
#include "image_list.h"
#include "key_operation_runner.h"
#include "message_service.h"
#include "platform/shell_open.h"
#include "token/token_ops.h"
#include "ui/handlers/arrival_address.h"
#include "ui/handlers/cert_actions_handler.h"
#include "ui/handlers/cert_import_handler.h"
#include "ui/handlers/cert_install_handler.h"
#include "ui/handlers/cert_registration_handler.h"
#include "ui/handlers/cert_tree_handler.h"
#include "ui/handlers/enrolment_handler.h"
#include "ui/handlers/expiry_notice_handler.h"
#include "ui/handlers/init_handler.h"
#include "ui/handlers/iso_handler.h"
#include "ui/handlers/key_info_handler.h"
#include "ui/handlers/key_name_handler.h"
#include "ui/handlers/key_navigator.h"
#include "ui/handlers/language_handler.h"
#include "ui/handlers/login_handler.h"
#include "ui/handlers/so_pin_handler.h"
#include "ui/handlers/system_info_handler.h"
#include "ui/handlers/token_limits_handler.h"
#include "ui/handlers/unlock_handler.h"
#include "ui/handlers/user_pin_handler.h"
#include "ui/pages/about_page.h"
#include "ui/pages/certificates_page.h"
#include "ui/pages/enrolment_page.h"
#include "ui/pages/init_page.h"
#include "ui/pages/iso_page.h"
#include "ui/pages/key_info_page.h"
#include "ui/pages/key_name_page.h"
#include "ui/pages/login_page.h"
#include "ui/pages/so_pin_page.h"
#include "ui/pages/system_check_page.h"
#include "ui/pages/unlock_page.h"
#include "ui/pages/user_pin_page.h"

#include <QComboBox>
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>

namespace {

constexpr int kBannerHeight = 85;
constexpr Qt::WindowFlags kWindowFlags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                         Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                                         Qt::WindowCloseButtonHint;

QList<QIcon> filesystemIcons() {
    QList<QIcon> icons;
    for (const QPixmap& pixmap : ui::paintFilesystemIcons())
        icons.append(QIcon(pixmap));
    return icons;
}

} // namespace

TMainForm::TMainForm(const QString& programFolder, QWidget* parent)
    : QWidget(parent, kWindowFlags), programFolder_(programFolder) {
    buildWindow();
    ApplyLanguage(*this);
    setUpWindow();
}

TMainForm::~TMainForm() {
    // The library shuts down only after the key operation under way, waited for at most this long.
    constexpr int kCloseWaitMs = 10000;
    runner_->finish(kCloseWaitMs);
    // Children go after this destructor, which would be after the library shut down: the watcher goes first.
    delete usbWatcher;
    usbWatcher = nullptr;
    token::uninit_pkcs11();
}

void TMainForm::addUpdateHandler(QAction* action, std::function<void()> handler) {
    updater_->add(action, std::move(handler));
}

void TMainForm::showLanguage(int languageId) {
    languageHandler->showLanguage(languageId);
}

void TMainForm::buildWindow() {
    setObjectName(QStringLiteral("MainForm"));
    setFixedSize(kClientWidth, kClientHeight);
    // The language's font from the start: set once the children exist, it would be handed to each again.
    setFont(stringTableFont(QFont(QStringLiteral("Tahoma"), 9)));
    setAttribute(Qt::WA_WindowPropagation); // the context menu follows the window font
    IFilesystem = new ui::ImageList(filesystemIcons(), this);
    IFilesystem->setObjectName(QStringLiteral("IFilesystem"));
    actions = ui::createMainActions(this);
    updater_ = new ui::ActionUpdater(this);
    runner_ = new ui::KeyOperationRunner(keyGuard_, this);
    runner_->setObjectName(QStringLiteral("keyOperationRunner"));
    // The library starts beside the window thread while the window is still being built; the first scan
    // follows once the window's event loop runs.
    initialiseLibrary();
    Image1 =
        ui::makeLabel(this, "Image1", QRect(0, 0, kClientWidth, kBannerHeight), Qt::AlignLeft | Qt::AlignTop);
    Image1->setPixmap(ui::builtInBanner());
    tv = ui::makeTree(this, "tv", QRect(0, kBannerHeight, kTreeWidth, kClientHeight - kBannerHeight));
    buildPages();
    runner_->setKeyArea(*RPC, {RPC, tv});
    buildTimers();
    buildHandlers();
}

void TMainForm::buildHandlers() {
    navigator =
        new ui::KeyNavigator(*tv, *IFilesystem, *pages_, keyGuard_, *runner_, actions, *TFindUSBKey, this);
    buildKeyHandlers();
    buildCertificateHandlers();
    buildAdministrationHandlers();
    buildEnrolmentHandlers();
    systemInfoHandler = new ui::SystemInfoHandler(*TabSheet6, this);
    languageHandler = new ui::LanguageHandler(*TabSheet7, programFolder_, this);
    connectNavigation();
    connectHandlers();
    buildHealthHandlers();
    connectEnrolment();
}

void TMainForm::buildKeyHandlers() {
    keyInfoHandler = new ui::KeyInfoHandler(*TabSheet1, *runner_, this);
    loginHandler = new ui::LoginHandler(*TabSheet4, actions, *updater_, *pages_, *runner_, this);
    userPinHandler = new ui::UserPinHandler(*TabSheet2, actions, *updater_, *runner_, this);
    keyNameHandler = new ui::KeyNameHandler(*TabSheet3, actions, *updater_, *runner_, this);
}

void TMainForm::buildCertificateHandlers() {
    certTree = new ui::CertTreeHandler(*TabSheet5, actions, *IFilesystem, *runner_, this);
    certActions = new ui::CertActionsHandler(*TabSheet5, actions, keyGuard_, *runner_, this);
    certRegistration =
        new ui::CertRegistrationHandler(actions, *updater_, *TRegCert, keyGuard_, *runner_, *this, this);
    certImport = new ui::CertImportHandler(*TabSheet5, actions, *Timer1, keyGuard_, *runner_, *this, this);
}

void TMainForm::buildAdministrationHandlers() {
    initHandler = new ui::InitHandler(*TabSheet8, actions, *updater_, keyGuard_, *runner_, programFolder_,
                                      *TCheckInit, this);
    soPinHandler = new ui::SoPinHandler(*TabSheet9, actions, *updater_, *runner_, this);
    unlockHandler = new ui::UnlockHandler(*TabSheet10, actions, *updater_, *runner_, this);
    isoHandler = new ui::IsoHandler(*TabSheet11, actions, *updater_, keyGuard_, *runner_, this);
    // Last, so that its update handlers have the final word on what a token cannot do.
    new ui::TokenLimitsHandler(actions, TabSheet5->btnInstallCert, *updater_, this);
}

void TMainForm::buildEnrolmentHandlers() {
    enrolmentHandler = new ui::EnrolmentHandler(*TabSheet12, *runner_, this);
    certInstall = new ui::CertInstallHandler(*TabSheet5, *runner_, this);
}

// A request page shown for a key, and key pairs or certificates that enrolment changed.
void TMainForm::connectEnrolment() {
    connect(navigator, &ui::KeyNavigator::enrolmentWanted, enrolmentHandler,
            &ui::EnrolmentHandler::showForKey);
    connect(enrolmentHandler, &ui::EnrolmentHandler::certificatesChanged, this, &TMainForm::BuildCertTree);
    connect(certInstall, &ui::CertInstallHandler::certificatesChanged, this, [this](int32_t key) {
        BuildCertTree(key);
        certRegistration->scheduleRegistration(key);
    });
}

// What the navigation asks of the pages.
void TMainForm::connectNavigation() {
    using ui::KeyNavigator;
    connect(navigator, &KeyNavigator::keysForgotten, keyInfoHandler, &ui::KeyInfoHandler::forgetKey);
    connect(navigator, &KeyNavigator::keysForgotten, loginHandler, &ui::LoginHandler::forgetPin);
    connect(navigator, &KeyNavigator::keysForgotten, certActions, &ui::CertActionsHandler::UpdateCertActions);
    connect(navigator, &KeyNavigator::currentKeyChanged, loginHandler, &ui::LoginHandler::forgetPin);
    connect(navigator, &KeyNavigator::keyInfoWanted, this, &TMainForm::ShowKeyInfo);
    connect(navigator, &KeyNavigator::keyNameWanted, keyNameHandler, &ui::KeyNameHandler::showCurrentLabel);
    connect(navigator, &KeyNavigator::loginWanted, loginHandler, &ui::LoginHandler::showKeyName);
    connect(navigator, &KeyNavigator::certificatesWanted, this, [this](int32_t key) {
        BuildCertTree(key);
        UpdateCertActions();
    });
    connect(navigator, &KeyNavigator::initialisationWanted, this, &TMainForm::LoadInitDefaults);
    connect(navigator, &KeyNavigator::systemCheckWanted, this, &TMainForm::ShowSystemInfo);
    connect(navigator, &KeyNavigator::rescanFailed, certImport, &ui::CertImportHandler::CloseImportDialog);
    connect(navigator, &KeyNavigator::keysFoundAfterDeviceEvent, this, &TMainForm::keysFoundAfterDeviceEvent);
    connect(navigator, &KeyNavigator::keysFoundByRefresh, TCheckInit, qOverload<>(&QTimer::start));
    connect(navigator, &KeyNavigator::keysArrived, initHandler, &ui::InitHandler::keysArrived);
}

// What one handler announces and another does.
void TMainForm::connectHandlers() {
    connect(loginHandler, &ui::LoginHandler::loggedIn, this, [this](int32_t key) {
        BuildCertTree(key);
        UpdateCertActions();
    });
    connect(loginHandler, &ui::LoginHandler::keyGone, navigator, &ui::KeyNavigator::onKeyGone);
    connect(userPinHandler, &ui::UserPinHandler::keyGone, navigator, &ui::KeyNavigator::onKeyGone);
    connect(keyNameHandler, &ui::KeyNameHandler::labelChanged, navigator, &ui::KeyNavigator::renameKeyNode);
    connect(certActions, &ui::CertActionsHandler::certificatesChanged, this, &TMainForm::BuildCertTree);
    connect(certImport, &ui::CertImportHandler::importEnded, this, [this](int32_t key) {
        BuildCertTree(key);
        certRegistration->scheduleRegistration(key);
    });
    connect(certTree, &ui::CertTreeHandler::treeBuilt, certImport, &ui::CertImportHandler::treeBuilt);
    connect(certImport, &ui::CertImportHandler::dialogClosed, certActions,
            &ui::CertActionsHandler::UpdateCertActions);
    connect(initHandler, &ui::InitHandler::formatted, navigator, &ui::KeyNavigator::scanKeepingCurrentKey);
    connect(initHandler, &ui::InitHandler::initialisationPageWanted, navigator,
            &ui::KeyNavigator::selectInitialisationNode);
    connect(languageHandler, &ui::LanguageHandler::languageChanged, this, &TMainForm::languageChanged);
}

void TMainForm::buildPages() {
    RPC = new QStackedWidget(this);
    RPC->setObjectName(QStringLiteral("RPC"));
    pages_ = std::make_unique<ui::PageStack>(*RPC);
    const int freeWidth = kClientWidth - kTreeWidth;
    const int freeHeight = kClientHeight - kBannerHeight;
    RPC->setGeometry(kTreeWidth + (freeWidth - ui::kPageWidth) / 2,
                     kBannerHeight + (freeHeight - ui::kPageHeight) / 2, ui::kPageWidth, ui::kPageHeight);
    // Added in page-index order.
    RPC->addWidget(TabSheet1 = new ui::KeyInfoPage(actions, RPC));
    RPC->addWidget(TabSheet2 = new ui::UserPinPage(actions, RPC));
    RPC->addWidget(TabSheet3 = new ui::KeyNamePage(actions, RPC));
    RPC->addWidget(TabSheet4 = new ui::LoginPage(actions, RPC));
    RPC->addWidget(TabSheet5 = new ui::CertificatesPage(actions, RPC));
    RPC->addWidget(TabSheet6 = new ui::SystemCheckPage(RPC));
    RPC->addWidget(TabSheet7 = new ui::AboutPage(RPC));
    RPC->addWidget(TabSheet8 = new ui::InitPage(actions, RPC));
    RPC->addWidget(TabSheet9 = new ui::SoPinPage(actions, RPC));
    RPC->addWidget(TabSheet10 = new ui::UnlockPage(actions, RPC));
    RPC->addWidget(TabSheet11 = new ui::IsoPage(actions, RPC));
    RPC->addWidget(TabSheet12 = new ui::EnrolmentPage(RPC));
}

void TMainForm::buildTimers() {
    TFindUSBKey = makeTimer("TFindUSBKey", 1000);
    TRegCert = makeTimer("TRegCert", 1000);
    Timer1 = makeTimer("Timer1", 2000);
    TCloseProject = makeTimer("TCloseProject", 500);
    TCheckInit = makeTimer("TCheckInit", 400);
    connect(TCloseProject, &QTimer::timeout, this, &TMainForm::TCloseProjectTimer);
    connect(TCheckInit, &QTimer::timeout, this, &TMainForm::TCheckInitTimer);
}

QTimer* TMainForm::makeTimer(const char* name, int interval) {
    auto* timer = new QTimer(this);
    timer->setObjectName(QString::fromLatin1(name));
    timer->setInterval(interval);
    return timer;
}

void TMainForm::setUpWindow() {
    token::keyTable().resetLoginStates();
    pages_->show(ui::PageKeyInfo);
    TabSheet7->label_language->setVisible(true);
    TabSheet7->cbLanguageID->setVisible(true);
    TabSheet8->edtInit_KeyName->setText(QStringLiteral("Pellor"));
    createDeviceWatcher();
    BuildRootNodes();
    TabSheet4->showPinLength();
    ConfigInfo = TConfigInfo{};
    ReadMgrConfig(GetUserConfigFolder() + QStringLiteral("MgrConfig.ini"), ConfigInfo);
    ui::CertHealthContext::instance().setWarningDays(ConfigInfo.CertDay);
    TabSheet8->PCInit->setCurrentIndex(0);
    loadBanner();
    startCompanionProgram();
    ui::registerCertificateViewer();
}

void TMainForm::createDeviceWatcher() {
    usbWatcher = new TUSB(this);
    usbWatcher->setObjectName(QStringLiteral("usbWatcher"));
    usbWatcher->OnDeviceArrival = [this](TUSB& watcher) { navigator->onKeyArrival(watcher.ProductId); };
    usbWatcher->OnDeviceRemoval = [this](TUSB& watcher) { navigator->onKeyRemoval(watcher.ProductId); };
    usbWatcher->PollTokens = [this](std::function<void(bool)> answer) {
        if (libraryReady() && !keyGuard_.busy())
            runner_->runInBackground([] { return token::quillard_tokens_changed(); }, std::move(answer));
    };
    usbWatcher->OnTokensChanged = [this](TUSB&) { navigator->onTokensChanged(); };
}

void TMainForm::loadBanner() {
    const QString path = programFolder_ + QStringLiteral("res/top_img.jpg");
    QPixmap banner;
    // A file that is not a readable JPEG leaves the built-in picture in place.
    if (QFileInfo::exists(path) && banner.load(path, "JPG"))
        Image1->setPixmap(banner);
}

void TMainForm::startCompanionProgram() {
    const QString path = programFolder_ + i18n::text("MonName");
    if (QFileInfo(path).isFile())
        platform::startProgram(path);
}

void TMainForm::BuildRootNodes() {
    navigator->BuildRootNodes();
}

void TMainForm::ScanKeys() {
    navigator->ScanKeys();
}

int32_t TMainForm::lastScanCode() const {
    return navigator->lastScanCode();
}

void TMainForm::ShowKeyInfo(int32_t slot) {
    keyInfoHandler->ShowKeyInfo(slot);
}

void TMainForm::UpdateCertActions() {
    certActions->UpdateCertActions();
}

void TMainForm::BuildCertTree(int32_t key) {
    certTree->BuildCertTree(key);
}

void TMainForm::LoadInitDefaults() {
    initHandler->LoadInitDefaults();
}

void TMainForm::ShowSystemInfo() {
    systemInfoHandler->ShowSystemInfo();
}

void TMainForm::OpenArrivalURL() {
    ui::openArrivalUrl(ConfigInfo.URL, ConfigInfo.BrowserMode);
}

void TMainForm::keysFoundAfterDeviceEvent() {
    if (ConfigInfo.OpenMode == 1)
        OpenArrivalURL();
    TCheckInit->start();
}

void TMainForm::languageChanged() {
    ApplyLanguage(*this);
    BuildRootNodes();
    ScanKeys();
}

void TMainForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (shownBefore_)
        return;
    shownBefore_ = true;
    centreOnScreen();
}

void TMainForm::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    constexpr Qt::WindowStates kResizingStates = Qt::WindowMaximized | Qt::WindowFullScreen;
    if (event->type() == QEvent::WindowStateChange && (windowState() & kResizingStates))
        setWindowState(windowState() & ~kResizingStates);
}

void TMainForm::centreOnScreen() {
    if (const QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

void TMainForm::initialiseLibrary() {
    // Only the virtual keys are readied: the PKCS#11 modules, which may take a while and often hold no
    // token, start after the first scan. Nothing of the window shows the start: the window is not there yet.
    const std::string moduleName = i18n::text("PKCS11Name").toLocal8Bit().toStdString();
    runner_->runInBackground([moduleName] { return token::init_pkcs11_modules_in_background(moduleName); },
                             [this](int32_t result) { libraryStarted(result == 0); });
}

void TMainForm::libraryStarted(bool ready) {
    libraryReady_ = ready;
    navigator->setLibraryReady(libraryReady_);
    if (libraryReady_)
        // The PKCS#11 modules may still be starting: once the scan is done, the library is asked (it waits
        // for them) and a rescan adds the tokens they brought.
        navigator->ScanKeys([this](int32_t) {
            runner_->runInBackground([] { return token::quillard_tokens_changed(); },
                                     [this](bool changed) {
                                         if (changed)
                                             navigator->rescanKeepingSession();
                                     });
        });
    else
        TCloseProject->start();
    TCheckInit->start();
}

void TMainForm::TCloseProjectTimer() {
    TCloseProject->stop();
    ui::messageService().inform(this, i18n::text("K_pkcs11Init_Error"));
    close();
}

void TMainForm::TCheckInitTimer() {
    initHandler->TCheckInitTimer();
}

void TMainForm::buildHealthHandlers() {
    expiryNotice = new ui::ExpiryNoticeHandler(
        *runner_, *this, GetUserConfigFolder() + QStringLiteral("ExpiryNotices.txt"), this);
    connect(navigator, &ui::KeyNavigator::keysScanned, expiryNotice, &ui::ExpiryNoticeHandler::keysScanned);
}
