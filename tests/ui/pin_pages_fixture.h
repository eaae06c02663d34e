// The login, user PIN and key name pages over keys a scripted library reports: which keys were never
// initialised, what the library answers to a PIN, and helpers to reach a key's pages and let the window idle.
#pragma once

#include "form_parts.h"
#include "tests/common/softhsm_token.h"

#include <filesystem>

#include "key_window_fixture.h"
#include "token/lib/softkey/virtual_key_manager.h"
#include "typed_text.h"
#include "ui/main_actions.h"

#include <QAction>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>
#include <set>
#include <tuple>

// Positions of a key node's children.
enum KeyTask { UserPinTask = 0, KeyNameTask = 1, CertificatesTask = 2, AdministrationTask = 3 };

class PinPagesTest : public KeyWindowTest {
protected:
    static constexpr int32_t kWrongPin = 0xA0;

    PinPagesTest() {
        // The scripted keys report themselves initialised unless their slot is listed in `uninitialised`.
        auto reportInfo = library->token_get_info;
        library->token_get_info = [this, reportInfo](auto... fields) {
            const int32_t result = reportInfo(fields...);
            const int32_t slot = std::get<0>(std::tie(fields...));
            *std::get<13>(std::tie(fields...)) = uninitialised.count(slot) ? 0 : 1;
            return result;
        };
        // token_login accepts `goodPin` and otherwise reports `triesLeftAfterWrongPin`.
        library->token_login = [this](int32_t, const char* pin, int32_t* triesLeft) {
            pinsTried.emplace_back(pin);
            if (pinsTried.back() == goodPin)
                return int32_t(0);
            if (reportTriesLeft)
                *triesLeft = triesLeftAfterWrongPin;
            return kWrongPin;
        };
    }

    // Shows the window over `keys`, without a pending initialisation check, calls or messages.
    RecordingMainForm& readyForm() {
        shownForm();
        part<QTimer>(form(), "TCheckInit")->stop();
        library->calls.clear();
        form().calls.clear();
        messages.clear();
        return form();
    }
    void select(QTreeWidgetItem* node) {
        part<QTreeWidget>(form(), "tv")->setCurrentItem(node);
        waitForKeyOperations(form());
    }
    QTreeWidgetItem* taskNode(int slot, KeyTask task) { return keyNode(slot)->child(task); }
    // Shows the key's page of `task` and forgets what selecting it called.
    void openTask(int slot, KeyTask task) {
        select(taskNode(slot, task));
        library->calls.clear();
        form().calls.clear();
    }
    template <typename T = QLineEdit> T* find(const char* name) {
        return form().findChild<T*>(QString::fromLatin1(name));
    }
    QAction* action(QAction* ui::MainActions::*member) { return actionsOf(form()).*member; }
    // Replaces the field's text as typing would (the field's length limit applies).
    void typeInto(const char* field, const QString& text) {
        find(field)->clear();
        find(field)->insert(text);
    }
    void pressEnter(const char* field) {
        QTest::keyClick(find(field), Qt::Key_Return);
        waitForKeyOperations(form());
    }
    // Runs the event loop until it has waited for new events at least once (update handlers run then).
    static void letTheEventLoopIdle() {
        QEventLoop loop;
        QTimer::singleShot(30, &loop, &QEventLoop::quit);
        loop.exec();
    }
    int32_t loginState(int slot) const { return token::keyTable().loginState[slot]; }
    // Replaces entries of the string table as a language file would.
    void loadTexts(const QString& lines) {
        const QString path = programFolder + QStringLiteral("texts.lng");
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write((QStringLiteral("[Caption]\r\n") + lines).toUtf8());
        file.close();
        i18n::LoadLanguageFile(path);
    }

    std::set<int> uninitialised;
    std::string goodPin = "1234";
    int32_t triesLeftAfterWrongPin = 0;
    bool reportTriesLeft = true;
    std::vector<std::string> pinsTried;
};

// The same window over one virtual key and the real library: user PIN 1234 (4 to 8 characters, 5 tries), SO
// PIN 87654321.
class PinPagesOnVirtualKeyTest : public PinPagesTest {
protected:
    PinPagesOnVirtualKeyTest() {
        library.reset();
        quillard::VirtualKeySettings settings;
        settings.label = "Virtual";
        settings.userPin = "1234";
        settings.soPin = "87654321";
        settings.userPolicy = {4, 8, 5};
        settings.kdfIterations = 16;
        std::string serial;
        std::string detail;
        EXPECT_EQ(quillard::VirtualKeyManager().create(settings, serial, &detail), 0) << detail;
    }
};

// The same window over one SoftHSM2 token of the test's own token folder, which the window finds through
// p11-kit's registration of SoftHSM2 and the real library: user PIN 12345678, SO PIN 87654321.
class PinPagesOnTokenTest : public PinPagesTest {
protected:
    static constexpr const char* kTokenLabel = "Real token";

    PinPagesOnTokenTest() { library.reset(); }
    void SetUp() override {
        if (!softhsm::registeredWithP11Kit())
            GTEST_SKIP() << "SoftHSM2 is not registered with p11-kit";
        ASSERT_TRUE(softhsm::initToken(kTokenLabel));
    }
    // Shows the window over the token, without a pending initialisation check.
    void tokenForm() {
        shownForm();
        part<QTimer>(form(), "TCheckInit")->stop();
        ASSERT_EQ(token::keyTable().keyCount, 1);
        messages.clear();
    }
};
