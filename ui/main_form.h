// TMainForm, the program's one window: the banner Image1 across the top, the navigation tree tv on the left
// and the page stack RPC of eleven pages on the right, with the actions the buttons run, the five timers and
// the icon list IFilesystem. The form creates the pages, the handlers that own them and the services they
// share (the key guard, the page stack, the key operation runner, the action updater) and wires what one
// handler announces to what another does; it holds no key logic itself. Creating it applies the string table
// and sets the window up; showing it the first time starts the token library; destroying it shuts the
// library down. The controls keep the object names other code and tests find them by.
#pragma once

#include "config/config_info.h"
#include "key_guard.h"
#include "main_actions.h"
#include "page_stack.h"

#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>

class QLabel;
class QStackedWidget;
class QTimer;
class QTreeWidget;
class TUSB;

namespace ui {
class AboutPage;
class ActionUpdater;
class CertActionsHandler;
class CertImportHandler;
class CertRegistrationHandler;
class CertTreeHandler;
class ExpiryNoticeHandler;
class CertificatesPage;
class CertInstallHandler;
class EnrolmentHandler;
class EnrolmentPage;
class ImageList;
class InitHandler;
class InitPage;
class IsoHandler;
class IsoPage;
class KeyInfoHandler;
class KeyInfoPage;
class KeyNameHandler;
class KeyNamePage;
class KeyNavigator;
class KeyOperationRunner;
class LanguageHandler;
class LoginHandler;
class LoginPage;
class SoPinHandler;
class SoPinPage;
class SystemCheckPage;
class SystemInfoHandler;
class UnlockHandler;
class UnlockPage;
class UserPinHandler;
class UserPinPage;
} // namespace ui

class TMainForm : public QWidget {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 674;
    static constexpr int kClientHeight = 432;
    static constexpr int kTreeWidth = 220;

    // `programFolder` is the program's folder with a trailing '/': the banner file, the companion program and
    // the settings beside the program are looked up there.
    explicit TMainForm(const QString& programFolder, QWidget* parent = nullptr);
    ~TMainForm() override;

    const QString& programFolder() const { return programFolder_; }
    // True once the token library started when the window was first shown.
    bool libraryReady() const { return libraryReady_; }
    // Keeps key operations on their key across nested event loops and holds scans while a key is in use.
    ui::KeyGuard& keyGuard() { return keyGuard_; }

    // Adds an update handler for `action`, run whenever the event loop is about to wait while a widget that
    // shows the action is visible.
    void addUpdateHandler(QAction* action, std::function<void()> handler);
    // Fills the language box of the About page with `languageId` chosen and takes it as the language in
    // effect.
    void showLanguage(int languageId);

    // Clears tv and adds its three top-level nodes: the key list, the system check and the about node.
    void BuildRootNodes();
    // Finds the keys off the window thread and rebuilds their nodes when the scan ends.
    void ScanKeys();
    // The code of the last scan that ended: 0 when at least one key was found and read.
    int32_t lastScanCode() const;
    // Fills the key information page for `slot`.
    void ShowKeyInfo(int32_t slot);
    // Enables the certificate actions from the login state and the certificate tree's selection.
    void UpdateCertActions();

    // What the window does when the navigation or a handler asks for it. Virtual so that tests can observe
    // when the window calls them.
    // Rebuilds the certificate tree of `key`.
    virtual void BuildCertTree(int32_t key);
    // Fills the initialisation page from Initconfig.ini; a missing file changes nothing.
    virtual void LoadInitDefaults();
    // Fills the system check page.
    virtual void ShowSystemInfo();
    // Opens the address configured for key arrivals.
    virtual void OpenArrivalURL();

protected:
    void showEvent(QShowEvent* event) override;
    // The window has one size: a request to maximise it or show it full screen is undone.
    void changeEvent(QEvent* event) override;

private:
    void buildWindow();
    void buildPages();
    void buildTimers();
    void buildHandlers();
    void buildKeyHandlers();
    void buildCertificateHandlers();
    void buildAdministrationHandlers();
    // The certificate request page and the install button of the certificate page.
    void buildEnrolmentHandlers();
    void connectEnrolment();
    void connectNavigation();
    void connectHandlers();
    QTimer* makeTimer(const char* name, int interval);
    void setUpWindow();
    void createDeviceWatcher();
    void loadBanner();
    void startCompanionProgram();
    void centreOnScreen();
    void initialiseLibrary();
    // The library has started (or failed to): the first scan, or the closing message.
    void libraryStarted(bool ready);
    void keysFoundAfterDeviceEvent();
    void languageChanged();
    void TCloseProjectTimer();
    void TCheckInitTimer();

    QString programFolder_;
    bool libraryReady_ = false;
    bool shownBefore_ = false;
    TConfigInfo ConfigInfo;

    ui::KeyGuard keyGuard_;
    ui::MainActions actions;
    ui::ActionUpdater* updater_ = nullptr;
    ui::ImageList* IFilesystem = nullptr;
    std::unique_ptr<ui::PageStack> pages_;
    ui::KeyOperationRunner* runner_ = nullptr;
    // The device watcher; created in the window's set-up, freed before the token library shuts down.
    TUSB* usbWatcher = nullptr;

    QLabel* Image1 = nullptr;
    QTreeWidget* tv = nullptr;
    QStackedWidget* RPC = nullptr;
    ui::KeyInfoPage* TabSheet1 = nullptr;
    ui::UserPinPage* TabSheet2 = nullptr;
    ui::KeyNamePage* TabSheet3 = nullptr;
    ui::LoginPage* TabSheet4 = nullptr;
    ui::CertificatesPage* TabSheet5 = nullptr;
    ui::SystemCheckPage* TabSheet6 = nullptr;
    ui::AboutPage* TabSheet7 = nullptr;
    ui::InitPage* TabSheet8 = nullptr;
    ui::SoPinPage* TabSheet9 = nullptr;
    ui::UnlockPage* TabSheet10 = nullptr;
    ui::IsoPage* TabSheet11 = nullptr;
    ui::EnrolmentPage* TabSheet12 = nullptr;

    QTimer* TFindUSBKey = nullptr;
    QTimer* TRegCert = nullptr;
    QTimer* Timer1 = nullptr;
    QTimer* TCloseProject = nullptr;
    QTimer* TCheckInit = nullptr;

    ui::KeyNavigator* navigator = nullptr;
    ui::KeyInfoHandler* keyInfoHandler = nullptr;
    ui::LoginHandler* loginHandler = nullptr;
    ui::UserPinHandler* userPinHandler = nullptr;
    ui::KeyNameHandler* keyNameHandler = nullptr;
    ui::CertTreeHandler* certTree = nullptr;
    ui::CertActionsHandler* certActions = nullptr;
    ui::CertRegistrationHandler* certRegistration = nullptr;
    ui::CertImportHandler* certImport = nullptr;
    ui::InitHandler* initHandler = nullptr;
    ui::SoPinHandler* soPinHandler = nullptr;
    ui::UnlockHandler* unlockHandler = nullptr;
    ui::IsoHandler* isoHandler = nullptr;
    ui::EnrolmentHandler* enrolmentHandler = nullptr;
    ui::CertInstallHandler* certInstall = nullptr;
    ui::SystemInfoHandler* systemInfoHandler = nullptr;
    ui::LanguageHandler* languageHandler = nullptr;

    // Certificate health: the notice after a scan.
    void buildHealthHandlers();
    ui::ExpiryNoticeHandler* expiryNotice = nullptr;
};
