// What the window does around its pages: the banner file, the companion program, the address labels, the
// update handlers of actions, and starting and stopping the token library.
#include "main_form_fixture.h"
#include "platform/shell_open.h"
#include "ui/builtin_pictures.h"

#include <QAction>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>

namespace {

// Records what would have been opened or started; openUrl answers `desktopAnswer`.
class RecordingShell {
public:
    explicit RecordingShell(bool desktopAnswer) {
        platform::setShellHandlers({[this, desktopAnswer](const QUrl& url) {
                                        urls.append(url);
                                        return desktopAnswer;
                                    },
                                    [this](const QString& program, const QStringList& arguments) {
                                        started.append(QStringList{program} + arguments);
                                        return true;
                                    }});
    }
    ~RecordingShell() { platform::setShellHandlers(platform::desktopShellHandlers()); }

    QList<QUrl> urls;
    QList<QStringList> started;
};

void clickLabel(QWidget* label) {
    QTest::mouseClick(label, Qt::LeftButton, {}, QPoint(5, 5));
}

// Runs the event loop until it has waited for new events at least once (update handlers run then).
void letTheEventLoopIdle() {
    QEventLoop loop;
    QTimer::singleShot(30, &loop, &QEventLoop::quit);
    loop.exec();
}

bool samePicture(const QPixmap& shown, const QPixmap& expected) {
    return shown.toImage() == expected.toImage();
}

} // namespace

TEST_F(MainFormTest, BannerFileReplacesTheBuiltInPicture) {
    QImage red(674, 85, QImage::Format_RGB32);
    red.fill(QColor(200, 0, 0));
    QDir().mkpath(programFolder + "res");
    ASSERT_TRUE(red.save(programFolder + "res/top_img.jpg", "JPG"));
    const QPixmap banner = find<QLabel>("Image1")->pixmap();
    ASSERT_EQ(banner.size(), QSize(674, 85));
    const QColor middle = banner.toImage().pixelColor(300, 40);
    EXPECT_GT(middle.red(), 180);
    EXPECT_LT(middle.green(), 30);
}

TEST_F(MainFormTest, WithoutABannerFileTheBuiltInPictureStays) {
    EXPECT_TRUE(samePicture(find<QLabel>("Image1")->pixmap(), ui::builtInBanner()));
}

TEST_F(MainFormTest, UnreadableBannerFileLeavesTheBuiltInPicture) {
    QDir().mkpath(programFolder + "res");
    QFile broken(programFolder + "res/top_img.jpg");
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("not a picture");
    broken.close();
    EXPECT_TRUE(samePicture(find<QLabel>("Image1")->pixmap(), ui::builtInBanner()));
}

TEST_F(MainFormTest, CompanionProgramStartsOnlyWhenItIsBesideTheProgram) {
    RecordingShell shell(true);
    form();
    EXPECT_TRUE(shell.started.isEmpty());
    destroyForm();
    QFile companion(programFolder + "PellorMon.exe");
    ASSERT_TRUE(companion.open(QIODevice::WriteOnly));
    companion.close();
    form();
    ASSERT_EQ(shell.started.size(), 1);
    EXPECT_EQ(shell.started[0], QStringList{programFolder + "PellorMon.exe"});
}

TEST_F(MainFormTest, WebAddressOpensOnTheDesktopOrElseInTheBrowser) {
    RecordingShell refusing(false);
    auto* web = find<QLabel>("Label20");
    clickLabel(web);
    ASSERT_EQ(refusing.urls.size(), 1);
    EXPECT_EQ(refusing.urls[0].toString(), web->text());
    ASSERT_EQ(refusing.started.size(), 1);
    EXPECT_EQ(refusing.started[0], QStringList({"x-www-browser", web->text()}));

    RecordingShell accepting(true);
    clickLabel(web);
    EXPECT_EQ(accepting.urls.size(), 1);
    EXPECT_TRUE(accepting.started.isEmpty());
}

TEST_F(MainFormTest, MailAddressStartsAMail) {
    RecordingShell shell(false);
    auto* mail = find<QLabel>("Label19");
    clickLabel(mail);
    ASSERT_EQ(shell.urls.size(), 1);
    EXPECT_EQ(shell.urls[0].scheme(), "mailto");
    EXPECT_EQ(shell.urls[0].path(), mail->text());
    EXPECT_TRUE(shell.started.isEmpty());
}

TEST_F(MainFormTest, UpdateHandlersRunWhileTheirButtonShows) {
    TMainForm& window = form();
    auto* login = find<QAction>("AcLogin");
    int runs = 0;
    bool enable = false;
    window.addUpdateHandler(login, [&] {
        ++runs;
        login->setEnabled(enable);
    });
    window.show();
    find<QStackedWidget>("RPC")->setCurrentIndex(0);
    letTheEventLoopIdle();
    EXPECT_EQ(runs, 0) << "the login page is hidden";
    find<QStackedWidget>("RPC")->setCurrentIndex(3);
    letTheEventLoopIdle();
    EXPECT_GT(runs, 0);
    EXPECT_FALSE(find<QWidget>("btnlogon")->isEnabled());
    enable = true;
    letTheEventLoopIdle();
    EXPECT_TRUE(find<QWidget>("btnlogon")->isEnabled());
}

TEST_F(MainFormTest, TheWindowStartsTheLibraryOnceWithModulesInTheBackgroundAndDestructionStopsIt) {
    int32_t modulesInBackground = -1;
    library.quillard_start_modules_in_background = [&](int32_t inBackground) {
        modulesInBackground = inBackground;
        return int32_t(0);
    };
    TMainForm& window = form();
    window.show();
    waitForKeyOperations(window);
    EXPECT_EQ(library.initCalls(), 1);
    EXPECT_EQ(modulesInBackground, 1) << "the PKCS#11 modules must not hold up the first scan";
    EXPECT_EQ(library.module(), "zarto_pkcs11.dll");
    EXPECT_TRUE(window.libraryReady());
    EXPECT_TRUE(find<QTimer>("TCheckInit")->isActive());
    EXPECT_FALSE(find<QTimer>("TCloseProject")->isActive());
    window.hide();
    window.show();
    EXPECT_EQ(library.initCalls(), 1);
    EXPECT_TRUE(QTest::qWaitFor([this] { return !find<QTimer>("TCheckInit")->isActive(); }));
    EXPECT_TRUE(messages.messages().isEmpty());
    destroyForm();
    EXPECT_EQ(library.uninitCalls(), 1);
}
