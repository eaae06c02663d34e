// Logging in and out on the login page, the texts of a refused login and the initialisation check after a
// scan.
#include "form_parts.h"
#include "i18n/outcome_texts.h"
#include "pin_pages_fixture.h"
#include "token/token_ops.h"
#include "typed_text.h"
#include "ui/handlers/message_text.h"

#include <QApplication>
#include <QLabel>

namespace {

const QString kDead = QStringLiteral("USBKey已锁死");
const QString kInitInfo = QStringLiteral("设备未初始化，请与管理员联系");

class LoginTest : public PinPagesTest {
protected:
    LoginTest() { keys = {{"Alpha"}, {"Beta"}}; }
    // Shows the login page of key `slot`.
    void openLogin(int slot = 0) {
        readyForm();
        openTask(slot, CertificatesTask);
        ASSERT_EQ(page(), ui::PageLogin);
    }
    void logInWith(const QString& pin) {
        typeInto("edtUPIN", pin);
        pressEnter("edtUPIN");
        waitForKeyOperations(form());
    }
};

TEST_F(LoginTest, PinsOutsideTheKeysLengthsNeverReachTheKeyEnterIncluded) {
    keys[0].minPinLength = 6;
    keys[0].maxPinLength = 8;
    openLogin();
    typeInto("edtUPIN", "1234");
    letTheEventLoopIdle();
    EXPECT_FALSE(action(&ui::MainActions::AcLogin)->isEnabled());
    EXPECT_FALSE(find<QWidget>("btnlogon")->isEnabled());
    for (const char* pin : {"1234", "", "123456789"}) {
        typeInto("edtUPIN", pin);
        pressEnter("edtUPIN");
        waitForKeyOperations(form());
    }
    EXPECT_EQ(messages.messageTexts(), QStringList(3, QStringLiteral("口令长度应为6到8位")));
    EXPECT_TRUE(pinsTried.empty());
    EXPECT_TRUE(library->calls.empty());
    EXPECT_EQ(page(), ui::PageLogin);
    EXPECT_TRUE(find("edtUPIN")->text().isEmpty());

    typeInto("edtUPIN", "123456");
    letTheEventLoopIdle();
    EXPECT_TRUE(action(&ui::MainActions::AcLogin)->isEnabled());
}

TEST_F(LoginTest, EmptyPinFieldTakesTheFocusWhenTheWindowIdles) {
    openLogin();
    form().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form()));
    find<QWidget>("RzButton3")->setFocus();
    typeInto("edtUPIN", "12");
    find<QWidget>("RzButton3")->setFocus();
    letTheEventLoopIdle();
    EXPECT_TRUE(find<QWidget>("RzButton3")->hasFocus()) << "a field with text keeps no hold on the focus";
    find("edtUPIN")->clear();
    letTheEventLoopIdle();
    EXPECT_TRUE(find<QWidget>("edtUPIN")->hasFocus());
}

TEST_F(LoginTest, WrongPinWithTriesLeftShowsThemAfterOneCarriageReturn) {
    triesLeftAfterWrongPin = 3;
    openLogin(1);
    logInWith("9999");
    EXPECT_EQ(messages.messageTexts(), QStringList{QStringLiteral("口令不正确\r您还有3次机会")});
    EXPECT_EQ(library->calls,
              (std::vector<std::string>{"token_get_pin_state", "token_logout", "token_login"}));
    EXPECT_EQ(loginState(1), token::KeyPresent);
    EXPECT_EQ(page(), ui::PageLogin);
    EXPECT_TRUE(form().calls.isEmpty());
}

TEST_F(LoginTest, AfterAWrongPinWhatIsTypedNextIsTheWholeNewPin) {
    openLogin();
    form().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form()));
    typeInto("edtUPIN", "9999");
    pressEnter("edtUPIN");
    waitForKeyOperations(form());
    EXPECT_TRUE(find("edtUPIN")->text().isEmpty()) << "a refused PIN leaves the field";
    EXPECT_TRUE(find<QWidget>("edtUPIN")->hasFocus());
    QTest::keyClicks(find("edtUPIN"), "1234");
    pressEnter("edtUPIN");
    waitForKeyOperations(form());
    EXPECT_EQ(pinsTried, (std::vector<std::string>{"9999", "1234"}));
    EXPECT_EQ(loginState(0), token::LoggedIn);
    EXPECT_TRUE(find("edtUPIN")->text().isEmpty()) << "nor does a PIN that worked stay";
}

TEST_F(LoginTest, WrongPinWithNoTriesLeftShowsLockedNeverACountOfZero) {
    openLogin();
    triesLeftAfterWrongPin = 0;
    logInWith("9999");
    reportTriesLeft = false; // the library leaves the count alone
    logInWith("8888");
    EXPECT_EQ(messages.messageTexts(), (QStringList{kDead, kDead}));
    EXPECT_EQ(loginState(0), token::KeyPresent);
}

TEST_F(LoginTest, LockedPinOrUninitialisedKeyStopsBeforeAnyLogin) {
    keys[0].locked = 1;
    uninitialised = {1};
    readyForm();
    openTask(0, CertificatesTask);
    logInWith("1234");
    EXPECT_EQ(messages.messageTexts(), QStringList{kDead});
    EXPECT_EQ(library->calls, std::vector<std::string>{"token_get_pin_state"});

    openTask(1, CertificatesTask);
    messages.clear();
    logInWith("1234");
    EXPECT_EQ(messages.messageTexts(), QStringList{kInitInfo});
    EXPECT_TRUE(library->calls.empty());
    EXPECT_EQ(loginState(0), token::KeyPresent);
    EXPECT_EQ(loginState(1), token::KeyPresent);
}

TEST_F(LoginTest, GoodPinShowsTheCertificatesOfThatKeyUnderTheHourglass) {
    Qt::CursorShape cursorWhileReloading = Qt::ArrowCursor;
    library->token_reload_all_objects = [&cursorWhileReloading](int32_t) {
        if (const QCursor* cursor = QApplication::overrideCursor())
            cursorWhileReloading = cursor->shape();
        return int32_t(0x32); // a failed reload changes nothing
    };
    openLogin(1);
    logInWith("1234");
    EXPECT_TRUE(messages.messageTexts().isEmpty());
    EXPECT_EQ(library->calls, (std::vector<std::string>{"token_get_pin_state", "token_logout", "token_login",
                                                        "token_reload_all_objects"}));
    EXPECT_EQ(loginState(1), token::LoggedIn);
    EXPECT_EQ(loginState(0), token::KeyPresent);
    EXPECT_EQ(page(), ui::PageCertificates);
    EXPECT_EQ(form().calls, QStringList{"BuildCertTree(1)"});
    EXPECT_EQ(cursorWhileReloading, Qt::WaitCursor);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(typedText(find("edtUPIN")), "") << "the PIN leaves its field once used";
}

TEST_F(LoginTest, LogoutShowsTheLoginPageAndTheNextLoginRebuildsTheTree) {
    openLogin(1);
    logInWith("1234");
    library->calls.clear();
    form().calls.clear();
    QTest::mouseClick(find<QWidget>("Button9"), Qt::LeftButton);
    EXPECT_EQ(library->calls, std::vector<std::string>{"token_logout"});
    EXPECT_EQ(loginState(1), token::KeyPresent);
    EXPECT_EQ(page(), ui::PageLogin);
    EXPECT_TRUE(form().calls.isEmpty());
    // The PIN is gone from the field: Enter alone does not log back in.
    EXPECT_TRUE(typedText(find("edtUPIN")).isEmpty());
    logInWith("1234");
    EXPECT_EQ(form().calls, QStringList{"BuildCertTree(1)"});
}

TEST_F(LoginTest, MovingToAnotherKeyOrRescanningEmptiesThePinField) {
    openLogin(0);
    typeInto("edtUPIN", "1234");
    select(taskNode(0, UserPinTask));
    select(taskNode(0, CertificatesTask));
    EXPECT_EQ(typedText(find("edtUPIN")), QStringLiteral("1234")) << "the same key keeps what was typed";
    select(taskNode(1, CertificatesTask));
    EXPECT_TRUE(typedText(find("edtUPIN")).isEmpty());
    typeInto("edtUPIN", "1234");
    form().ScanKeys();
    waitForKeyOperations(form());
    EXPECT_TRUE(typedText(find("edtUPIN")).isEmpty());
    EXPECT_TRUE(pinsTried.empty());
}

TEST_F(LoginTest, EscapeEmptiesThePinFieldAndTheCounter) {
    openLogin();
    form().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form()));
    typeInto("edtUPIN", "12345");
    ASSERT_EQ(find<QLabel>("Label10")->text(), "5");
    QTest::keyClick(find("edtUPIN"), Qt::Key_Escape);
    EXPECT_EQ(typedText(find("edtUPIN")), "");
    EXPECT_EQ(find<QLabel>("Label10")->text(), "0");
    EXPECT_EQ(page(), ui::PageLogin);
    EXPECT_TRUE(library->calls.empty());
}

TEST_F(LoginTest, RefusedLoginSpeaksTheLanguageFileAndSurvivesAStrayPlaceholder) {
    triesLeftAfterWrongPin = 2;
    openLogin();
    i18n::LoadLanguageFile(QStringLiteral(PELLORZU_SOURCE_DIR "/Languages/EN_1033.lng"));
    logInWith("9999");
    loadTexts("K_PIN_Error=Wrong\r\nK_Try_Time=%s: %d tries, %d more (100%%)\r\n");
    logInWith("9999");
    EXPECT_EQ(messages.messageTexts(), (QStringList{QStringLiteral("Incorrect PIN\rYou have 2 attempts left"),
                                                    QStringLiteral("Wrong\r%s: 2 tries, %d more (100%)")}));
}

TEST_F(LoginTest, ARefusedLoginLeavesOutACountTheKeyDoesNotTell) {
    triesLeftAfterWrongPin = QUILLARD_RETRIES_UNKNOWN;
    openLogin();
    logInWith("9999");
    EXPECT_EQ(messages.messageTexts(), QStringList{QStringLiteral("口令不正确")});
    EXPECT_EQ(i18n::refusedOldPinText(QUILLARD_RETRIES_UNKNOWN), QStringLiteral("口令不正确"));
    EXPECT_EQ(i18n::refusedOldPinText(2), QStringLiteral("原口令不正确,您还有2次重试机会"));
}

TEST(FormatCountTest, FillsTheFirstIntegerPlaceholderAndKeepsEveryOtherOne) {
    EXPECT_EQ(i18n::formatCount("您还有%d次机会", 3), "您还有3次机会");
    EXPECT_EQ(i18n::formatCount("[%4d][%-4D]", 7), "[   7][%-4D]");
    EXPECT_EQ(i18n::formatCount("[%-4d]", -7), "[-7  ]");
    EXPECT_EQ(i18n::formatCount("%.3d", 7), "007");
    EXPECT_EQ(i18n::formatCount("%u", -1), "4294967295");
    EXPECT_EQ(i18n::formatCount("%d", INT32_MIN), "-2147483648");
    EXPECT_EQ(i18n::formatCount("100%% %x %s %", 1), "100% %x %s %");
    EXPECT_EQ(i18n::formatCount("no number", 5), "no number");
    EXPECT_EQ(ui::errorCodeHex(0x1A), "0000001A");
    EXPECT_EQ(ui::errorCodeHex(int32_t(0xA000'0030)), "A0000030");
}

class InitialisationCheckTest : public PinPagesTest {
protected:
    InitialisationCheckTest() { keys = {{"Alpha"}, {"Beta"}, {"Gamma"}}; }
    void runCheck() {
        part<QTimer>(form(), "TCheckInit")->start();
        ASSERT_TRUE(
            QTest::qWaitFor([this] { return !part<QTimer>(form(), "TCheckInit")->isActive(); }, 2000));
    }
};

TEST_F(InitialisationCheckTest, SelectsTheInitialisationNodeOfTheFirstUninitialisedKey) {
    uninitialised = {1, 2};
    readyForm();
    runCheck();
    EXPECT_EQ(messages.messageTexts(), QStringList{kInitInfo});
    EXPECT_EQ(part<QTreeWidget>(form(), "tv")->currentItem(), taskNode(1, AdministrationTask)->child(0));
    EXPECT_EQ(page(), ui::PageInit);
    EXPECT_EQ(token::keyTable().currentKey, 1);
    EXPECT_EQ(form().calls, QStringList{"LoadInitDefaults"});
    EXPECT_TRUE(library->calls.empty());
}

TEST_F(InitialisationCheckTest, InitialisedKeysGiveNoMessageAndEachStartGivesOneCheck) {
    readyForm();
    QTreeWidgetItem* selected = keyNode(2);
    select(selected);
    runCheck();
    EXPECT_TRUE(messages.messageTexts().isEmpty());
    EXPECT_EQ(part<QTreeWidget>(form(), "tv")->currentItem(), selected);
    EXPECT_EQ(page(), ui::PageKeyInfo);

    uninitialised = {0};
    form().ScanKeys();
    waitForKeyOperations(form());
    ASSERT_EQ(form().lastScanCode(), 0);
    runCheck();
    runCheck();
    EXPECT_EQ(messages.messageTexts(), (QStringList{kInitInfo, kInitInfo}));
    EXPECT_EQ(part<QTreeWidget>(form(), "tv")->currentItem(), taskNode(0, AdministrationTask)->child(0));
}

TEST_F(InitialisationCheckTest, KeyWhoseInformationCouldNotBeReadIsNotCalledUninitialised) {
    // The first scan stops at the second key, whose record stays zeroed.
    auto readInfo = library->token_get_info;
    library->token_get_info = [readInfo](int32_t idx, auto... fields) {
        return idx == 1 ? int32_t(0x32) : readInfo(idx, fields...);
    };
    readyForm();
    ASSERT_EQ(token::keyTable().keyCount, 3);
    ASSERT_EQ(token::keyTable().keys[1].initialised, 0);
    runCheck();
    EXPECT_TRUE(messages.messageTexts().isEmpty());
    EXPECT_EQ(page(), ui::PageKeyInfo);
}

TEST_F(InitialisationCheckTest, KeyWithoutItsNodesIsWarnedAboutButNothingIsSelected) {
    uninitialised = {2};
    readyForm();
    select(keyNode(0));
    qDeleteAll(keyNode(2)->takeChildren());
    runCheck();
    EXPECT_EQ(messages.messageTexts(), QStringList{kInitInfo});
    EXPECT_EQ(part<QTreeWidget>(form(), "tv")->currentItem(), keyNode(0));
}

} // namespace

// The login page over a virtual key and the real library.
class LoginOnVirtualKeyTest : public PinPagesOnVirtualKeyTest {
protected:
    int32_t triesLeft() {
        token::TPinState state;
        token::token_get_pin_state(0, token::PinType::User, state);
        return state.retriesLeft;
    }
};

TEST_F(LoginOnVirtualKeyTest, APinOutsideTheLengthPolicyCostsNoTry) {
    shownForm();
    part<QTimer>(form(), "TCheckInit")->stop();
    select(taskNode(0, CertificatesTask));
    for (const char* pin : {"", "12", "123456789"}) {
        typeInto("edtUPIN", pin);
        pressEnter("edtUPIN");
    }
    // The key is never asked: the page names the key's limits, and the count stays full.
    EXPECT_EQ(messages.messageTexts(), QStringList(3, QStringLiteral("口令长度应为4到8位")));
    EXPECT_EQ(triesLeft(), 5);
    typeInto("edtUPIN", "1234");
    pressEnter("edtUPIN");
    EXPECT_EQ(loginState(0), token::LoggedIn);
}
