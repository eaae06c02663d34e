// The start-up sequence: the language chosen by LanguageConfig.ini, a second start, the close request and a
// token library that fails to start.
#include "app/instance_request.h"
#include "app/program.h"
#include "i18n/string_table.h"
#include "tests/common/read_only_program_folder.h"
#include "tests/common/scripted_quillard.h"
#include "tests/common/temp_world.h"
#include "tests/ui/form_parts.h"
#include "ui/main_form.h"
#include "ui/pages/about_page.h"
#include "ui/scripted_message_service.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QUuid>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

namespace {

bool writeUtf16File(const QString& path, const QString& text) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write("\xFF\xFE", 2);
    file.write(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    return true;
}

int mainWindowCount() {
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        count += qobject_cast<TMainForm*>(widget) != nullptr;
    return count;
}

class ProgramTest : public ::testing::Test {
protected:
    ProgramTest() {
        i18n::resetStringTable();
        folder = QString::fromStdString((world.root() / "program").string()) + QLatin1Char('/');
        QDir().mkpath(folder + "Languages");
        writeUtf16File(folder + "Languages/EN_1033.lng", "[Caption]\r\nK_Dead=English file\r\n");
        writeUtf16File(folder + "Languages/CHS_2052.lng", "[Caption]\r\nK_Dead=Chinese file\r\n");
        instanceName = QStringLiteral("pellorzu-test-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    }
    ~ProgramTest() override { i18n::resetStringTable(); }

    void chooseLanguage(std::optional<int> id) {
        QFile::remove(folder + "Languages/LanguageConfig.ini");
        if (id)
            writeUtf16File(folder + "Languages/LanguageConfig.ini",
                           QStringLiteral("[Language]\r\nLanguageID=%1\r\n").arg(*id));
    }

    // A started program with its window shown.
    std::unique_ptr<app::Program> runningProgram() {
        auto program = std::make_unique<app::Program>(folder, instanceName);
        EXPECT_TRUE(program->start());
        program->createMainWindow()->show();
        // The library starts beside the shown window.
        waitForKeyOperations(*program->mainWindow());
        return program;
    }

    TempWorld world;
    ui::ScriptedMessageService messages;
    QString folder;
    QString instanceName;
};

} // namespace

TEST_F(ProgramTest, LanguageIdentifierChoosesTheFileAndThePreselectedItem) {
    struct Case {
        std::optional<int> id;
        const char* loaded;
        int item;
    };
    const Case cases[] = {{1033, "English file", 1},
                          {2052, "Chinese file", 0},
                          {7, "English file", 0},
                          {0, "English file", 0},
                          {std::nullopt, "English file", 0}};
    ScriptedQuillard library;
    for (const Case& chosen : cases) {
        i18n::resetStringTable();
        chooseLanguage(chosen.id);
        instanceName += QLatin1Char('x');
        app::Program program(folder, instanceName);
        ASSERT_TRUE(program.start());
        EXPECT_EQ(i18n::text("K_Dead"), chosen.loaded) << chosen.id.value_or(-1);
        QComboBox* box = part<ui::AboutPage>(*program.createMainWindow(), "TabSheet7")->cbLanguageID;
        ASSERT_EQ(box->count(), 2);
        EXPECT_EQ(box->itemText(0), QStringLiteral("简体中文"));
        EXPECT_EQ(box->itemText(1), QStringLiteral("English"));
        EXPECT_EQ(box->currentIndex(), chosen.item) << chosen.id.value_or(-1);
    }
}

TEST_F(ProgramTest, AReadOnlyProgramFolderStartsInTheLanguageOfTheUsersCopy) {
    ScriptedQuillard library;
    const ReadOnlyProgramFolder readOnly;
    chooseLanguage(2052);
    const QString userLanguages = QString::fromStdString((world.configHome() / "Norvale/PellorZu").string()) +
                                  QStringLiteral("/Languages/");
    for (const int stored : {0, 1033}) {
        i18n::resetStringTable();
        instanceName += QLatin1Char('x');
        app::Program program(folder, instanceName);
        ASSERT_TRUE(program.start());
        // Without a copy the file beside the program counts; once there, the copy does.
        EXPECT_EQ(i18n::text("K_Dead"), stored == 0 ? "Chinese file" : "English file");
        QDir().mkpath(userLanguages);
        writeUtf16File(userLanguages + "LanguageConfig.ini",
                       QStringLiteral("[Language]\r\nLanguageID=1033\r\n"));
    }
}

TEST_F(ProgramTest, MissingLanguageFileKeepsTheBuiltInTexts) {
    ScriptedQuillard library;
    QFile::remove(folder + "Languages/EN_1033.lng");
    chooseLanguage(1033);
    app::Program program(folder, instanceName);
    ASSERT_TRUE(program.start());
    EXPECT_EQ(i18n::text("K_Dead"), QStringLiteral("USBKey已锁死"));
    TMainForm* window = program.createMainWindow();
    EXPECT_EQ(part<ui::AboutPage>(*window, "TabSheet7")->cbLanguageID->currentIndex(), 1);
    EXPECT_EQ(QCoreApplication::applicationName(), QStringLiteral("PKI管理工具   "));
    EXPECT_FALSE(QApplication::windowIcon().isNull());
}

TEST_F(ProgramTest, SecondStartRestoresTheFirstAndEndsWithoutAWindow) {
    ScriptedQuillard library;
    auto first = runningProgram();
    TMainForm* window = first->mainWindow();
    window->showMinimized();
    ASSERT_TRUE(window->isMinimized());
    app::Program second(folder, instanceName);
    EXPECT_FALSE(second.start());
    EXPECT_EQ(second.mainWindow(), nullptr);
    EXPECT_TRUE(QTest::qWaitFor([window] { return !window->isMinimized(); }, 5000));
    EXPECT_EQ(mainWindowCount(), 1);
    EXPECT_TRUE(messages.messages().isEmpty());
}

TEST_F(ProgramTest, SecondStartBringsACoveredWindowToTheFront) {
    ScriptedQuillard library;
    auto first = runningProgram();
    TMainForm* window = first->mainWindow();
    QWidget cover;
    cover.setGeometry(window->geometry());
    cover.show();
    cover.raise();
    cover.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&cover));
    app::Program second(folder, instanceName);
    EXPECT_FALSE(second.start());
    EXPECT_TRUE(QTest::qWaitFor([window] { return QApplication::activeWindow() == window; }, 5000));
}

TEST_F(ProgramTest, SecondStartBringsTheModalDialogToTheFront) {
    ScriptedQuillard library;
    auto first = runningProgram();
    TMainForm* window = first->mainWindow();
    QDialog dialog(window);
    dialog.setModal(true);
    dialog.setAttribute(Qt::WA_ShowWithoutActivating);
    dialog.show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    ASSERT_NE(QApplication::activeWindow(), &dialog);
    app::Program second(folder, instanceName);
    EXPECT_FALSE(second.start());
    EXPECT_TRUE(QTest::qWaitFor([&dialog] { return QApplication::activeWindow() == &dialog; }, 5000));
}

TEST_F(ProgramTest, ExactCloseRequestClosesTheWindowAndShutsTheLibraryDown) {
    ScriptedQuillard library;
    auto program = runningProgram();
    TMainForm* window = program->mainWindow();
    ASSERT_EQ(library.initCalls(), 1);
    QSignalSpy handled(&program->instance(), &app::SingleInstance::requestHandled);
    ASSERT_TRUE(app::SingleInstance::send(instanceName, app::textRequestBytes("close")));
    ASSERT_TRUE(app::SingleInstance::send(instanceName, app::textRequestBytes("CLOSE ")));
    ASSERT_TRUE(QTest::qWaitFor([&handled] { return handled.count() == 2; }, 5000));
    EXPECT_TRUE(window->isVisible());
    ASSERT_TRUE(app::SingleInstance::send(instanceName, app::textRequestBytes("CLOSE")));
    EXPECT_TRUE(QTest::qWaitFor([window] { return !window->isVisible(); }, 5000));
    EXPECT_EQ(library.uninitCalls(), 0);
    program.reset();
    EXPECT_EQ(library.uninitCalls(), 1);
}

TEST_F(ProgramTest, FailingLibraryStartShowsTheMessageThenCloses) {
    ScriptedQuillard library(0x05);
    QFile::remove(folder + "Languages/EN_1033.lng"); // the built-in texts stay
    bool shownOverVisibleWindow = false;
    auto program = runningProgram();
    TMainForm* window = program->mainWindow();
    messages.setOnMessage([&](const ui::RecordedMessage& message) {
        shownOverVisibleWindow = message.owner == window && window->isVisible();
    });
    EXPECT_FALSE(window->libraryReady());
    auto* closeTimer = window->findChild<QTimer*>("TCloseProject");
    EXPECT_TRUE(closeTimer->isActive());
    EXPECT_EQ(closeTimer->interval(), 500);
    EXPECT_TRUE(window->findChild<QTimer*>("TCheckInit")->isActive());
    EXPECT_TRUE(messages.messages().isEmpty()) << "the message waits for the timer";
    EXPECT_TRUE(QTest::qWaitFor([window] { return !window->isVisible(); }, 5000));
    ASSERT_EQ(messages.messages().size(), 1);
    const ui::RecordedMessage& message = messages.messages()[0];
    EXPECT_EQ(message.text, QStringLiteral("pkcs11初始化失败"));
    EXPECT_EQ(message.title, QStringLiteral("提示"));
    EXPECT_EQ(message.icon, ui::MessageIcon::Information);
    EXPECT_EQ(message.buttons, ui::MessageButtons::Ok);
    EXPECT_TRUE(shownOverVisibleWindow);
    EXPECT_FALSE(closeTimer->isActive());
    program.reset();
    EXPECT_EQ(library.uninitCalls(), 1);
}

TEST_F(ProgramTest, CloseRequestDuringAModalDialogEndsTheRun) {
    ScriptedQuillard library;
    app::Program program(folder, instanceName);
    ASSERT_TRUE(program.start());
    TMainForm* window = program.createMainWindow();
    bool dialogReturned = false;
    bool closedInTime = true;
    QTimer::singleShot(0, window, [&] {
        QDialog dialog(window);
        QTimer::singleShot(
            0, [this] { app::SingleInstance::send(instanceName, app::textRequestBytes("CLOSE")); });
        QTimer::singleShot(10000, &dialog, [&] {
            closedInTime = false;
            dialog.reject();
            QCoreApplication::quit();
        });
        dialog.exec();
        dialogReturned = true;
    });
    EXPECT_EQ(program.run(), 0);
    EXPECT_TRUE(dialogReturned);
    EXPECT_TRUE(closedInTime);
    EXPECT_FALSE(window->isVisible());
}
