#include "main_form.h"

#include "action_updater.h"
#include "app/mgr_config.h"
#include "app/user_config_folder.h"
#include "apply_language.h"
#include "builtin_pictures.h"
#include "cert_viewer_dialog.h"
#include "device_watcher.h"
#include "filesystem_icons.h"
#include "form_widgets.h"
#include "handlers/arrival_address.h"
#include "handlers/cert_actions_handler.h"
#include "handlers/cert_import_handler.h"
#include "handlers/cert_registration_handler.h"
#include "handlers/cert_tree_handler.h"
#include "handlers/init_handler.h"
#include "handlers/iso_handler.h"
#include "handlers/key_info_view.h"
#include "handlers/key_name_handler.h"
#include "handlers/key_navigator.h"
#include "handlers/language_handler.h"
#include "handlers/login_handler.h"
#include "handlers/so_pin_handler.h"
#include "handlers/system_info_handler.h"
#include "handlers/unlock_handler.h"
#include "handlers/user_pin_handler.h"
#include "i18n/string_table.h"
#include "image_list.h"
#include "message_service.h"
#include "pages/about_page.h"
#include "pages/certificates_page.h"
#include "pages/init_page.h"
#include "pages/iso_page.h"
#include "pages/key_info_page.h"
#include "pages/key_name_page.h"
#include "pages/login_page.h"
#include "pages/so_pin_page.h"
#include "pages/system_check_page.h"
#include "pages/unlock_page.h"
#include "pages/user_pin_page.h"
#include "platform/shell_open.h"
#include "token/key_table.h"
#include "token/token_ops.h"

#include <QComboBox>
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
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

struct RootNode {
    const char* textKey;
    int image;
};

constexpr RootNode kRootNodes[] = {
    {"Main_Form_Treeview", ui::IconKeyList},
    {"Main_Form_PopupMenu_CheceSystem", ui::IconComputer},
    {"Main_Form_PopupMenu_About", ui::IconAbout},
};

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
    // An import still running keeps the library until it ends.
    certImport->waitForWorker();
    // Children go after this destructor, which would be after the library shut down: the watcher goes first.
    delete usbWatcher;
    usbWatcher = nullptr;
    token::uninit_pkcs11();
}

void TMainForm::addUpdateHandler(QAction* action, std::function<void()> handler) {
    updater_->add(action, std::move(handler));
}

void TMainForm::buildWindow() {
    setObjectName(QStringLiteral("MainForm"));
    setFixedSize(kClientWidth, kClientHeight);
    setFont(QFont(QStringLiteral("Tahoma"), 9));
    setAttribute(Qt::WA_WindowPropagation); // the context menu follows the window font
    IFilesystem = new ui::ImageList(filesystemIcons(), this);
    IFilesystem->setObjectName(QStringLiteral("IFilesystem"));
    actions = ui::createMainActions(this);
    updater_ = new ui::ActionUpdater(this);
    Image1 =
        ui::makeLabel(this, "Image1", QRect(0, 0, kClientWidth, kBannerHeight), Qt::AlignLeft | Qt::AlignTop);
    Image1->setPixmap(ui::builtInBanner());
    tv = ui::makeTree(this, "tv", QRect(0, kBannerHeight, kTreeWidth, kClientHeight - kBannerHeight));
    buildPages();
    buildTimers();
    buildHandlers();
}

void TMainForm::buildHandlers() {
    navigator = new ui::KeyNavigator(*this);
    loginHandler = new ui::LoginHandler(*this);
    userPinHandler = new ui::UserPinHandler(*this);
    keyNameHandler = new ui::KeyNameHandler(*this);
    certTree = new ui::CertTreeHandler(*this);
    certActions = new ui::CertActionsHandler(*this);
    certRegistration = new ui::CertRegistrationHandler(*this);
    certImport = new ui::CertImportHandler(*this);
    initHandler = new ui::InitHandler(*this);
    soPinHandler = new ui::SoPinHandler(*this);
    unlockHandler = new ui::UnlockHandler(*this);
    isoHandler = new ui::IsoHandler(*this);
    systemInfoHandler = new ui::SystemInfoHandler(*this);
    languageHandler = new ui::LanguageHandler(*this);
}

void TMainForm::buildPages() {
    RPC = new QStackedWidget(this);
    RPC->setObjectName(QStringLiteral("RPC"));
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
    RPC->setCurrentIndex(PageKeyInfo);
    TabSheet7->label_language->setVisible(true);
    TabSheet7->cbLanguageID->setVisible(true);
    TabSheet8->edtInit_KeyName->setText(QStringLiteral("Pellor"));
    createDeviceWatcher();
    BuildRootNodes();
    TabSheet4->showPinLength();
    ConfigInfo = TConfigInfo{};
    ReadMgrConfig(GetUserConfigFolder() + QStringLiteral("MgrConfig.ini"), ConfigInfo);
    TabSheet8->PCInit->setCurrentIndex(0);
    loadBanner();
    startCompanionProgram();
    ui::registerCertificateViewer();
}

void TMainForm::createDeviceWatcher() {
    usbWatcher = new TUSB(this);
    usbWatcher->OnDeviceArrival = [this](TUSB& watcher) { navigator->onKeyArrival(watcher.ProductId); };
    usbWatcher->OnDeviceRemoval = [this](TUSB& watcher) { navigator->onKeyRemoval(watcher.ProductId); };
    usbWatcher->CanPollTokens = [this] { return libraryReady() && !keyGuard.busy(); };
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
    tv->clear();
    for (const RootNode& root : kRootNodes) {
        auto* node = new QTreeWidgetItem(tv, {i18n::text(root.textKey)});
        ui::setNodeImage(node, *IFilesystem, root.image);
    }
}

int32_t TMainForm::ScanKeys() {
    return navigator->ScanKeys();
}

void TMainForm::ShowKeyInfo(int32_t slot) {
    ui::ShowKeyInfo(*this, slot);
}

void TMainForm::UpdateCertActions() {
    navigator->UpdateCertActions();
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

void TMainForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (shownBefore_)
        return;
    shownBefore_ = true;
    centreOnScreen();
    initialiseLibrary();
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
    const int32_t result = token::init_pkcs11(i18n::text("PKCS11Name").toLocal8Bit().toStdString());
    libraryReady_ = result == 0;
    if (libraryReady_)
        ScanKeys();
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
    // While a key is in use the check waits for the next tick.
    if (keyGuard.busy())
        return;
    loginHandler->TCheckInitTimer();
}
