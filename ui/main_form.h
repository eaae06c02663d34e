// TMainForm, the program's one window: the banner Image1 across the top, the navigation tree tv on the left
// and the page stack RPC of eleven pages on the right, with the actions the buttons run, the five timers and
// the icon list IFilesystem. Creating it applies the string table and sets the window up; showing it the
// first time starts the token library; destroying it shuts the library down. The controls keep the names
// other code and tests find them by.
#pragma once

#include "app/config_info.h"
#include "key_guard.h"
#include "main_actions.h"

#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>

class QLabel;
class QStackedWidget;
class QTimer;
class QTreeWidget;

namespace ui {
class AboutPage;
class CertActionsHandler;
class CertImportHandler;
class CertRegistrationHandler;
class CertTreeHandler;
class ActionUpdater;
class CertificatesPage;
class ImageList;
class InitPage;
class KeyNameHandler;
class KeyNavigator;
class LanguageHandler;
class LoginHandler;
class SystemInfoHandler;
class UserPinHandler;
class InitHandler;
class SoPinHandler;
class UnlockHandler;
class IsoHandler;
class IsoPage;
class KeyInfoPage;
class KeyNamePage;
class LoginPage;
class SoPinPage;
class SystemCheckPage;
class UnlockPage;
class UserPinPage;
} // namespace ui

class TUSB;

// Indices of the pages of RPC.
enum PageIndex : int {
    PageKeyInfo = 0,
    PageUserPin = 1,
    PageKeyName = 2,
    PageLogin = 3,
    PageCertificates = 4,
    PageSystemCheck = 5,
    PageAbout = 6,
    PageInit = 7,
    PageSoPin = 8,
    PageUnlock = 9,
    PageIso = 10,
    PageCount = 11
};

class TMainForm : public QWidget {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 674;
    static constexpr int kClientHeight = 432;
    static constexpr int kTreeWidth = 220;

    // `programFolder` is the program's folder with a trailing '/': the banner file and the companion program
    // are looked up there.
    explicit TMainForm(const QString& programFolder, QWidget* parent = nullptr);
    ~TMainForm() override;

    const QString& programFolder() const { return programFolder_; }
    // True once the token library started when the window was first shown.
    bool libraryReady() const { return libraryReady_; }

    // Adds an update handler for `action`, run whenever the event loop is about to wait while a widget that
    // shows the action is visible.
    void addUpdateHandler(QAction* action, std::function<void()> handler);
    ui::ActionUpdater& actionUpdater() const { return *updater_; }

    // Clears tv and adds its three top-level nodes: the key list, the system check and the about node.
    void BuildRootNodes();
    // Finds the keys and rebuilds their nodes; 0 when at least one key was found and read.
    int32_t ScanKeys();
    // Fills the key information page for `slot`.
    void ShowKeyInfo(int32_t slot);
    // Enables the certificate actions from the login state and the certificate tree's selection.
    void UpdateCertActions();

    // Features the navigation calls. Virtual so that tests can observe when the window calls them.
    // Rebuilds the certificate tree of `key`.
    virtual void BuildCertTree(int32_t key);
    // Fills the initialisation page from Initconfig.ini; a missing file changes nothing.
    virtual void LoadInitDefaults();
    // Fills the system check page.
    virtual void ShowSystemInfo();
    // Opens the address configured for key arrivals.
    virtual void OpenArrivalURL();

    ui::KeyNavigator* navigator;
    ui::LoginHandler* loginHandler;
    ui::UserPinHandler* userPinHandler;
    ui::KeyNameHandler* keyNameHandler;
    ui::CertTreeHandler* certTree;
    ui::CertActionsHandler* certActions;
    ui::CertRegistrationHandler* certRegistration;
    ui::CertImportHandler* certImport;
    // The administration pages.
    ui::InitHandler* initHandler;
    ui::SoPinHandler* soPinHandler;
    ui::UnlockHandler* unlockHandler;
    ui::IsoHandler* isoHandler;
    ui::SystemInfoHandler* systemInfoHandler;
    ui::LanguageHandler* languageHandler;
    // The device watcher; created in the window's set-up, freed before the token library shuts down.
    TUSB* usbWatcher = nullptr;

    // Keeps key operations on their key across nested event loops and holds scans while a key is in use.
    ui::KeyGuard keyGuard;

    ui::ImageList* IFilesystem;
    ui::MainActions actions;
    TConfigInfo ConfigInfo;

    QLabel* Image1;
    QTreeWidget* tv;
    QStackedWidget* RPC;
    ui::KeyInfoPage* TabSheet1;
    ui::UserPinPage* TabSheet2;
    ui::KeyNamePage* TabSheet3;
    ui::LoginPage* TabSheet4;
    ui::CertificatesPage* TabSheet5;
    ui::SystemCheckPage* TabSheet6;
    ui::AboutPage* TabSheet7;
    ui::InitPage* TabSheet8;
    ui::SoPinPage* TabSheet9;
    ui::UnlockPage* TabSheet10;
    ui::IsoPage* TabSheet11;

    QTimer* TFindUSBKey;
    QTimer* TRegCert;
    QTimer* Timer1;
    QTimer* TCloseProject;
    QTimer* TCheckInit;

protected:
    void showEvent(QShowEvent* event) override;
    // The window has one size: a request to maximise it or show it full screen is undone.
    void changeEvent(QEvent* event) override;

private:
    void buildWindow();
    void buildPages();
    void buildTimers();
    void buildHandlers();
    QTimer* makeTimer(const char* name, int interval);
    void setUpWindow();
    void createDeviceWatcher();
    void loadBanner();
    void startCompanionProgram();
    void centreOnScreen();
    void initialiseLibrary();
    void TCloseProjectTimer();
    void TCheckInitTimer();

    QString programFolder_;
    ui::ActionUpdater* updater_;
    bool libraryReady_ = false;
    bool shownBefore_ = false;
};
