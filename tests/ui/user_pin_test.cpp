// Changing the user PIN: the checks before the change, proving the old PIN, the texts of a refused change and
// the login state afterwards; end to end on a virtual key.
#include "form_parts.h"
#include "pin_pages_fixture.h"
#include "token/lib/softkey/virtual_key_manager.h"
#include "token/token_ops.h"

#include <utility>

namespace {

const QString kDead = QStringLiteral("USBKey已锁死");

class UserPinTest : public PinPagesTest {
protected:
    UserPinTest() {
        keys = {{"Alpha"}, {"Beta"}};
        library->token_change_upin = [this](int32_t, const char* oldPin, const char* newPin) {
            changes.emplace_back(oldPin, newPin);
            return changeResult;
        };
    }
    void openUserPin(int slot = 0) {
        readyForm();
        openTask(slot, UserPinTask);
        ASSERT_EQ(page(), ui::PageUserPin);
    }
    void fill(const QString& oldPin, const QString& newPin, const QString& confirmation) {
        typeInto("edtOldUPin", oldPin);
        typeInto("edtNewUPin1", newPin);
        typeInto("edtNewUPin2", confirmation);
    }
    void change(const QString& oldPin, const QString& newPin) {
        fill(oldPin, newPin, newPin);
        pressEnter("edtNewUPin2");
    }
    QStringList fieldTexts() {
        return {typedText(find("edtOldUPin")), typedText(find("edtNewUPin1")),
                typedText(find("edtNewUPin2"))};
    }

    int32_t changeResult = 0;
    std::vector<std::pair<std::string, std::string>> changes;
};

TEST_F(UserPinTest, ChangeIsEnabledOnceEveryFieldHoldsTheMinimumLength) {
    keys[0].minPinLength = 5;
    openUserPin();
    QAction* setPin = action(&ui::MainActions::AcSetUserPIN);
    for (const auto& [oldPin, newPin, confirmation, enabled] :
         std::vector<std::tuple<QString, QString, QString, bool>>{{"12345", "12345", "1234", false},
                                                                  {"1234", "12345", "12345", false},
                                                                  {"12345", "1234", "12345", false},
                                                                  {"12345", "54321", "99999", true}}) {
        fill(oldPin, newPin, confirmation);
        letTheEventLoopIdle();
        EXPECT_EQ(setPin->isEnabled(), enabled) << oldPin.toStdString() << " " << newPin.toStdString();
    }
}

TEST_F(UserPinTest, ChecksBeforeTheChangeStopWithTheirMessage) {
    keys[0].maxPinLength = 8;
    keys[1].locked = 1;
    uninitialised = {2};
    keys.push_back({"Gamma"});
    readyForm();
    struct Case {
        int slot;
        QString oldPin, newPin, confirmation, message;
        std::vector<std::string> calls;
    };
    const std::vector<Case> cases = {
        {0, "1234", "5678", "5679", "新口令和确认口令必须相同！", {"token_get_pin_state"}},
        {0, "1234", "abcd", "ABCD", "新口令和确认口令必须相同！", {"token_get_pin_state"}},
        {0, "1234", "123", "123", "用户PIN码不符合长度要求！(4--8)", {"token_get_pin_state"}},
        {0, "1234", "123456789", "123456789", "用户PIN码不符合长度要求！(4--8)", {"token_get_pin_state"}},
        // Five characters, but ten bytes in the 8-bit form the key receives.
        {0, "1234", "ééééé", "ééééé", "用户PIN码不符合长度要求！(4--8)", {"token_get_pin_state"}},
        {1, "1234", "5678", "5678", kDead, {"token_get_pin_state"}},
        {2, "1234", "5678", "5678", "设备未初始化，请与管理员联系", {}},
    };
    for (const Case& c : cases) {
        openTask(c.slot, UserPinTask);
        messages.clear();
        fill(c.oldPin, c.newPin, c.confirmation);
        pressEnter("edtNewUPin2");
        EXPECT_EQ(messages.messageTexts(), QStringList{c.message}) << c.newPin.toStdString();
        EXPECT_EQ(library->calls, c.calls) << c.newPin.toStdString();
        EXPECT_EQ(fieldTexts(), (QStringList{c.oldPin, c.newPin, c.confirmation}));
    }
}

TEST_F(UserPinTest, ShortNewPinLeavesTheChangeDisabledButEnterStopsAtTheLengthMessage) {
    openUserPin();
    fill("1234", "123", "123");
    letTheEventLoopIdle();
    EXPECT_FALSE(find<QWidget>("btnOK")->isEnabled());
    pressEnter("edtNewUPin2");
    EXPECT_EQ(messages.messageTexts(), QStringList{"用户PIN码不符合长度要求！(4--16)"});
}

TEST_F(UserPinTest, AnOldPinOutsideTheKeysLengthsIsRefusedBeforeAnyCall) {
    keys[0].maxPinLength = 8;
    openUserPin();
    for (const char* old : {"12", "123456789"}) {
        fill(old, "5678", "5678");
        pressEnter("edtNewUPin2");
        waitForKeyOperations(form());
    }
    EXPECT_EQ(messages.messageTexts(), QStringList(2, QStringLiteral("口令长度应为4到8位")));
    EXPECT_TRUE(library->calls.empty());
    EXPECT_TRUE(find("edtOldUPin")->text().isEmpty());
}

TEST_F(UserPinTest, WrongOldPinShowsTheTriesLeftOrLockedAndChangesNothing) {
    openUserPin();
    triesLeftAfterWrongPin = 2;
    change("9999", "5678");
    triesLeftAfterWrongPin = 0;
    change("9999", "5678");
    EXPECT_EQ(messages.messageTexts(), (QStringList{"原口令不正确,您还有2次重试机会", kDead}));
    EXPECT_TRUE(changes.empty());
    EXPECT_EQ(loginState(0), token::KeyPresent);
    EXPECT_EQ(fieldTexts(), (QStringList{"", "", ""})) << "used PINs never stay to be sent again";
}

TEST_F(UserPinTest, RefusedChangeShowsTheCodeWhenTheOldPinStillWorks) {
    changeResult = 0x0A;
    openUserPin(1);
    change("1234", "5678");
    EXPECT_EQ(messages.messageTexts(), QStringList{"修改失败 ErrorCode :String=  = 0x0000000A"});
    EXPECT_EQ(library->calls, (std::vector<std::string>{"token_get_pin_state", "token_logout", "token_login",
                                                        "token_logout", "token_change_upin", "token_login"}));
    EXPECT_EQ(pinsTried, (std::vector<std::string>{"1234", "1234"}));
    EXPECT_EQ(loginState(1), token::KeyPresent);
    EXPECT_EQ(fieldTexts(), (QStringList{"", "", ""}));
}

TEST_F(UserPinTest, RefusedChangeAfterWhichTheOldPinFailsShowsTheTriesLeftOrLocked) {
    changeResult = int32_t(0xA0000030);
    openUserPin();
    for (int32_t tries : {1, 0}) {
        // The change takes the old PIN away: the login after it is refused.
        library->token_change_upin = [this](int32_t, const char*, const char*) {
            goodPin = "gone";
            return changeResult;
        };
        goodPin = "1234";
        triesLeftAfterWrongPin = tries;
        change("1234", "5678");
    }
    EXPECT_EQ(messages.messageTexts(), (QStringList{"原口令不正确,您还有1次重试机会", kDead}));
}

TEST_F(UserPinTest, SuccessfulChangeEmptiesTheFieldsAndLeavesTheKeyLoggedOut) {
    openUserPin(1);
    token::keyTable().loginState[1] = token::LoggedIn;
    change("1234", "ab5678");
    EXPECT_EQ(messages.messageTexts(), QStringList{"修改成功"});
    EXPECT_EQ(changes, (std::vector<std::pair<std::string, std::string>>{{"1234", "ab5678"}}));
    EXPECT_EQ(library->calls, (std::vector<std::string>{"token_get_pin_state", "token_logout", "token_login",
                                                        "token_logout", "token_change_upin"}));
    EXPECT_EQ(loginState(1), token::KeyPresent);
    EXPECT_EQ(fieldTexts(), (QStringList{"", "", ""}));
    EXPECT_EQ(page(), ui::PageUserPin);
}

using UserPinOnVirtualKeyTest = PinPagesOnVirtualKeyTest;

using UserPinOnTokenTest = PinPagesOnTokenTest;

TEST_F(UserPinOnTokenTest, ThePinOfAPkcs11TokenChangesAndAWrongOneNamesNoCount) {
    tokenForm();
    select(keyNode(0));
    EXPECT_EQ(infoColumn(1).mid(6, 2), QStringList({"-", "-"})) << "SoftHSM2 does not tell its retry counts";
    select(taskNode(0, UserPinTask));
    typeInto("edtOldUPin", softhsm::kUserPin);
    typeInto("edtNewUPin1", "24681357");
    typeInto("edtNewUPin2", "24681357");
    pressEnter("edtNewUPin2");
    ASSERT_EQ(messages.messageTexts(), QStringList{"修改成功"});

    select(taskNode(0, CertificatesTask));
    typeInto("edtUPIN", softhsm::kUserPin);
    pressEnter("edtUPIN");
    EXPECT_EQ(messages.messageTexts().last(), QStringLiteral("口令不正确"));
    EXPECT_EQ(loginState(0), token::KeyPresent);
    typeInto("edtUPIN", "24681357");
    pressEnter("edtUPIN");
    EXPECT_EQ(loginState(0), token::LoggedIn);
    EXPECT_EQ(page(), ui::PageCertificates);
}

TEST_F(UserPinOnVirtualKeyTest, NewPinOpensTheKeyAndTheOldOneNoLonger) {
    shownForm();
    part<QTimer>(form(), "TCheckInit")->stop();
    ASSERT_EQ(token::keyTable().keyCount, 1);
    select(taskNode(0, UserPinTask));
    typeInto("edtOldUPin", "1234");
    typeInto("edtNewUPin1", "24680");
    typeInto("edtNewUPin2", "24680");
    pressEnter("edtNewUPin2");
    ASSERT_EQ(messages.messageTexts(), QStringList{"修改成功"});

    select(taskNode(0, CertificatesTask));
    typeInto("edtUPIN", "1234");
    pressEnter("edtUPIN");
    EXPECT_EQ(messages.messageTexts().last(), QStringLiteral("口令不正确\r您还有4次机会"));
    EXPECT_EQ(loginState(0), token::KeyPresent);
    typeInto("edtUPIN", "24680");
    pressEnter("edtUPIN");
    EXPECT_EQ(loginState(0), token::LoggedIn);
    EXPECT_EQ(page(), ui::PageCertificates);
}

} // namespace
