// Changing the SO PIN and unlocking the user PIN with it: enabling, the checks in order, the texts of each
// outcome, the logouts around the work; end to end on a virtual key, where a wrong SO PIN costs one try and
// an unlocked key keeps every private key usable.
#include "admin_pages_fixture.h"
#include "form_parts.h"
#include "token/lib/paths.h"
#include "token/lib/softkey/softkey_driver.h"
#include "tools/demo_credentials.h"
#include "typed_text.h"

namespace {

const QString kDead = QStringLiteral("USBKey已锁死");
const QString kMismatch = QStringLiteral("新口令和确认口令必须相同！");
const QString kNotInitialised = QStringLiteral("设备未初始化，请与管理员联系");

class SoPinUnlockTest : public AdminPagesTest {
protected:
    SoPinUnlockTest() {
        library->token_change_sopin = [this](int32_t, const char* oldPin, const char* newPin) {
            changes.emplace_back(oldPin, newPin);
            return changeResult;
        };
        library->token_set_upin = [this](int32_t, const char* soPin, const char* newPin) {
            changes.emplace_back(soPin, newPin);
            return unlockResult;
        };
    }
    void fillSoPin(const QString& oldPin, const QString& newPin, const QString& confirmation) {
        typeInto("edtSPIN", oldPin);
        typeInto("edtNewSPIN1", newPin);
        typeInto("edtNewSPIN2", confirmation);
    }
    void fillUnlock(const QString& soPin, const QString& newPin, const QString& confirmation) {
        typeInto("edtSPINForUnLock", soPin);
        typeInto("edtUPINForUnlock1", newPin);
        typeInto("edtUPINForUnlock2", confirmation);
    }

    int32_t changeResult = 0;
    int32_t unlockResult = 0;
    std::vector<std::pair<std::string, std::string>> changes;
};

TEST_F(SoPinUnlockTest, ActionsNeedTheKeysMinimumLengths) {
    readyForm();
    token::keyTable().keys[0].minSoPinLength = 6;
    token::keyTable().keys[0].minPinLength = 4;
    openAdmin(0, SoPinTask);
    QAction* setSoPin = action(&ui::MainActions::AcSetSOPIN);
    for (const auto& [oldPin, newPin, confirmation, enabled] :
         std::vector<std::tuple<QString, QString, QString, bool>>{{"123456", "", "123456", true},
                                                                  {"12345", "123456", "123456", false},
                                                                  {"123456", "123456", "12345", false}}) {
        fillSoPin(oldPin, newPin, confirmation);
        letTheEventLoopIdle();
        EXPECT_EQ(setSoPin->isEnabled(), enabled);
    }
    openAdmin(0, UnlockTask);
    QAction* unlock = action(&ui::MainActions::AcUnlock);
    for (const auto& [soPin, newPin, confirmation, enabled] :
         std::vector<std::tuple<QString, QString, QString, bool>>{{"123456", "1234", "1234", true},
                                                                  {"12345", "1234", "1234", false},
                                                                  {"123456", "123", "1234", false},
                                                                  {"123456", "1234", "123", false}}) {
        fillUnlock(soPin, newPin, confirmation);
        letTheEventLoopIdle();
        EXPECT_EQ(unlock->isEnabled(), enabled);
    }
}

TEST_F(SoPinUnlockTest, ChecksComeInOrderOnBothPages) {
    uninitialised = {1};
    readyForm();
    struct Case {
        int slot;
        bool locked;
        QString pin, confirmation, message;
    };
    const std::vector<Case> cases = {
        {0, true, "abcdef", "ABCDEF", kMismatch},
        {1, true, "abcdef", "abcdef", kNotInitialised},
        {0, true, "abcdef", "abcdef", kDead},
    };
    for (AdminTask task : {SoPinTask, UnlockTask}) {
        for (const Case& c : cases) {
            openAdmin(c.slot, task);
            soLocked = c.locked;
            if (task == SoPinTask) {
                fillSoPin("87654321", c.pin, c.confirmation);
                pressEnter("edtNewSPIN2");
            } else {
                fillUnlock("87654321", c.pin, c.confirmation);
                pressEnter("edtUPINForUnlock2");
            }
            EXPECT_EQ(messages.messageTexts(), QStringList{c.message});
        }
    }
    EXPECT_TRUE(changes.empty());
    EXPECT_EQ(library->count("token_login_so"), 0);
}

TEST_F(SoPinUnlockTest, SoPinChangeOutcomesAndTheLogoutsAroundThem) {
    readyForm();
    openAdmin(0, SoPinTask);
    token::keyTable().loginState[0] = token::LoggedIn;
    // Enter runs the change although the short confirmation leaves the action disabled.
    fillSoPin("wrong1", "ab", "ab");
    soTriesLeft = 3;
    pressEnter("edtNewSPIN2");
    fillSoPin("wrong1", "ab", "ab");
    soTriesLeft = 0;
    pressEnter("edtNewSPIN2");
    EXPECT_EQ(library->calls,
              (std::vector<std::string>{"token_get_pin_state", "token_logout", "token_login_so",
                                        "token_get_pin_state", "token_logout", "token_login_so"}));
    fillSoPin("87654321", "newpin12", "newpin12");
    changeResult = 0x6A;
    pressEnter("edtNewSPIN2");
    fillSoPin("87654321", "newpin12", "newpin12");
    changeResult = 0;
    library->calls.clear();
    pressEnter("edtNewSPIN2");
    EXPECT_EQ(messages.messageTexts(), (QStringList{"原口令不正确,您还有3次重试机会", kDead,
                                                    "修改失败 ErrorCode :String=  0x0000006A", "操作成功"}));
    EXPECT_EQ(library->calls,
              (std::vector<std::string>{"token_get_pin_state", "token_logout", "token_login_so",
                                        "token_change_sopin", "token_logout"}));
    EXPECT_EQ(changes.back(), (std::pair<std::string, std::string>{"87654321", "newpin12"}));
    EXPECT_EQ(loginState(0), token::KeyPresent);
    // Used PINs never stay in their fields to be sent again.
    EXPECT_EQ(typedText(find("edtSPIN")), "");
    EXPECT_EQ(typedText(find("edtNewSPIN1")), "");
}

TEST_F(SoPinUnlockTest, UnlockReadsTheCauseFromItsOwnResultWithoutASecondSoLogin) {
    readyForm();
    openAdmin(1, UnlockTask);
    for (int32_t result : {int32_t(QR_PIN_INCORRECT), int32_t(QR_PIN_LOCKED), int32_t(QR_PIN_LEN_RANGE), 0}) {
        fillUnlock("87654321", "2468", "2468");
        unlockResult = result;
        library->calls.clear();
        pressEnter("edtUPINForUnlock2");
        EXPECT_EQ(library->calls, (std::vector<std::string>{"token_get_pin_state", "token_logout",
                                                            "token_set_upin", "token_logout"}));
    }
    EXPECT_EQ(messages.messageTexts(),
              (QStringList{"原SO PIN码不正确", "原SO PIN码不正确", "操作失败", "操作成功"}));
    EXPECT_EQ(changes.back(), (std::pair<std::string, std::string>{"87654321", "2468"}));
    EXPECT_EQ(loginState(1), token::KeyPresent);
}

// The same pages over a virtual key and the real library.
class SoPinUnlockOnVirtualKeyTest : public SoPinUnlockTest {
protected:
    SoPinUnlockOnVirtualKeyTest() {
        useVirtualKeys();
        createVirtualKey(virtualKey("ADMIN01"));
        shownForm();
        part<QTimer>(form(), "TCheckInit")->stop();
    }
    int32_t soTriesLeftOnKey() { return virtualKeyStatus("ADMIN01").soPin.retriesLeft; }
};

class SoPinUnlockOnTokenTest : public SoPinUnlockTest {
protected:
    void SetUp() override {
        useSoftHsmToken("Admin token");
        if (IsSkipped() || HasFatalFailure())
            return;
        shownForm();
        part<QTimer>(form(), "TCheckInit")->stop();
        ASSERT_EQ(token::keyTable().keyCount, 1);
    }
};

TEST_F(SoPinUnlockOnTokenTest, SoPinChangeAndUnlockWorkOnAPkcs11Token) {
    select(adminNode(0, SoPinTask));
    fillSoPin("wrong-so", "newso123", "newso123");
    pressEnter("edtNewSPIN2");
    fillSoPin(kSoPin, "newso123", "newso123");
    pressEnter("edtNewSPIN2");
    EXPECT_EQ(messages.messageTexts(), (QStringList{"口令不正确", "操作成功"}));
    EXPECT_EQ(soLogin(0, "newso123"), 0);
    EXPECT_NE(soLogin(0, kSoPin), 0);
    token::token_logout(0);

    messages.clear();
    select(adminNode(0, UnlockTask));
    fillUnlock("wrong-so", "97531", "97531");
    pressEnter("edtUPINForUnlock2");
    fillUnlock("newso123", "97531", "97531");
    pressEnter("edtUPINForUnlock2");
    EXPECT_EQ(messages.messageTexts(), (QStringList{"原SO PIN码不正确", "操作成功"}));
    EXPECT_EQ(userLogin(0, "97531"), 0);
    EXPECT_NE(userLogin(0, softhsm::kUserPin), 0);
}

TEST_F(SoPinUnlockOnVirtualKeyTest, NewSoPinWorksAndTheOldOneNoLonger) {
    select(adminNode(0, SoPinTask));
    fillSoPin("wrong1", "newso123", "newso123");
    pressEnter("edtNewSPIN2");
    fillSoPin(kSoPin, "newso123", "newso123");
    pressEnter("edtNewSPIN2");
    EXPECT_EQ(messages.messageTexts(), (QStringList{"原口令不正确,您还有2次重试机会", "操作成功"}));
    EXPECT_EQ(soLogin(0, "newso123"), 0);
    EXPECT_NE(soLogin(0, kSoPin), 0);
}

TEST_F(SoPinUnlockOnVirtualKeyTest, LockedUserPinIsResetAndEveryPrivateKeyStaysUsable) {
    // Two pairs that the unlock must keep usable.
    int32_t tries = 0;
    {
        quillard::SoftkeyDriver driver(quillard::keysFolder());
        std::vector<std::string> serials;
        ASSERT_EQ(driver.find(serials), QR_OK);
        ASSERT_EQ(driver.login(0, quillard::PinKind::User, kUserPin, tries), QR_OK);
        ASSERT_EQ(driver.createContainer(0, "Pairs"), QR_OK);
        ASSERT_EQ(driver.importCredential(
                      0, "Pairs", 1,
                      quillard::demo::makeSelfSignedCredential(quillard::demo::KeyType::EcP256, "Exchange")),
                  QR_OK);
        ASSERT_EQ(driver.importCredential(
                      0, "Pairs", 2,
                      quillard::demo::makeSelfSignedCredential(quillard::demo::KeyType::EcP256, "Signature")),
                  QR_OK);
    }
    for (int i = 0; i < 5; ++i)
        userLogin(0, "0000");
    ASSERT_EQ(virtualKeyStatus("ADMIN01").userPin.locked, 1);

    select(adminNode(0, UnlockTask));
    fillUnlock("wrong-so", "97531", "97531");
    pressEnter("edtUPINForUnlock2");
    EXPECT_EQ(soTriesLeftOnKey(), 2); // exactly one SO try spent
    fillUnlock(kSoPin, "97531", "97531");
    pressEnter("edtUPINForUnlock2");
    EXPECT_EQ(messages.messageTexts(), (QStringList{"原SO PIN码不正确", "操作成功"}));
    EXPECT_EQ(soTriesLeftOnKey(), 3);

    ASSERT_EQ(token::token_login(0, "97531", tries), 0);
    for (int32_t spec : {1, 2}) {
        // The private key opens only under the key's master key, which the unlock kept.
        int32_t algorithm = -1;
        EXPECT_EQ(token::container_get_prikey(0, "Pairs", spec, algorithm), 0) << spec;
    }
    token::token_logout(0);
}

} // namespace
