// Initialising a key: the page's defaults from Initconfig.ini, the checks before anything touches the key,
// the question and the SO PIN prompt on an initialised key, the failure messages, the values kept as the
// next defaults; end to end on virtual keys.
#include "admin_pages_fixture.h"
#include "config/init_config.h"
#include "form_parts.h"
#include "tests/common/read_only_program_folder.h"
#include "ui/pages/init_page.h"

#include <QFileInfo>
#include <QSpinBox>
#include <QTabWidget>
#include <cstring>

namespace {

const QString kDead = QStringLiteral("USBKey已锁死");
const QString kQuestion = QStringLiteral("初始化后USBKey中证书将清除\r是否继续初始化？");
// The question names the key it would format on a line of its own.
const QString kAlphaQuestion = kQuestion + QStringLiteral("\rAlpha (ZV0001)");
const QString kInit02Question = kQuestion + QStringLiteral("\rKey INIT02 (INIT02)");

class InitKeyTest : public AdminPagesTest {
protected:
    InitKeyTest() {
        library->token_format = [this](int32_t, const TFormatParams* params) {
            std::memcpy(&formatted, params, sizeof formatted);
            return formatResult;
        };
    }
    void openInit(int slot = 0) {
        readyForm();
        openAdmin(slot, InitTask);
        ASSERT_EQ(page(), ui::PageInit);
    }
    ui::InitPage& initPage() { return *part<ui::InitPage>(form(), "TabSheet8"); }
    void initialise() { actionsOf(form()).AcInit->trigger(); }
    QString configPath() { return programFolder + QStringLiteral("Initconfig.ini"); }
    void writeConfig(const QString& text) {
        QFile file(configPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text.toUtf8());
    }
    // The calls that formatting slot 0 makes, the rescan's calls left off.
    std::vector<std::string> callsUpToFormat() {
        std::vector<std::string> calls;
        for (const std::string& call : library->calls) {
            if (call == "token_find")
                break;
            calls.push_back(call);
        }
        return calls;
    }

    int32_t formatResult = 0;
    TFormatParams formatted{};
};

TEST_F(InitKeyTest, DefaultsComeFromTheFileAndAMissingFileChangesNothing) {
    openInit();
    form().TMainForm::LoadInitDefaults();
    EXPECT_EQ(initPage().edtInit_KeyName->text(), "Pellor");
    EXPECT_EQ(initPage().edtInit_SPIN->text(), "qzvke");
    EXPECT_EQ(initPage().edtInit_SOPINlenMax->value(), 16);

    writeConfig(
        "[InitData]\nLabelName=研发部\nmanufacture=Maker\nIssuer=Issuer\ndefault_sopin=so pin\n"
        "default_upin=11112222\nuPinRetryTimes=15\nsoPinRetryTimes=99\nminUPINLen=6\nminSOPINLen=2\n");
    form().TMainForm::LoadInitDefaults();
    const ui::InitPage& p = initPage();
    EXPECT_EQ((QStringList{p.edtInit_KeyName->text(), p.edtInit_GS->text(), p.edtInit_UnLockPIN->text(),
                           p.edtInit_SPIN->text(), p.edtInit_UPIN->text()}),
              (QStringList{"研发部", "Maker", "Issuer", "so pin", "11112222"}));
    // Missing maximum lengths read as 32 and show as 16; out-of-range values take the nearest bound.
    EXPECT_EQ((std::vector<int>{p.edtInit_MaxCount->value(), p.edtInit_MaxCount_SOPIN->value(),
                                p.edtInit_PINlenMin->value(), p.edtInit_PINLenMax->value(),
                                p.edtInit_SOPINlenMin->value(), p.edtInit_SOPINlenMax->value()}),
              (std::vector<int>{15, 15, 6, 16, 4, 16}));
}

TEST_F(InitKeyTest, ActionNeedsALabelAndAManufacturer) {
    openInit();
    for (const auto& [label, maker, enabled] : std::vector<std::tuple<QString, QString, bool>>{
             {"L", "M", true}, {"", "M", false}, {"L", "", false}}) {
        typeInto("edtInit_KeyName", label);
        typeInto("edtInit_GS", maker);
        letTheEventLoopIdle();
        EXPECT_EQ(actionsOf(form()).AcInit->isEnabled(), enabled);
    }
}

TEST_F(InitKeyTest, ChecksBeforeAnyLibraryCallStopWithTheirMessageAndFocus) {
    uninitialised = {0};
    openInit();
    form().activateWindow();
    struct Case {
        const char* field;
        QString text;
        QString message;
        int tab; // -1: the focus is not checked
    };
    const QString tenChinese = QString(10, QChar(0x7814));
    const std::vector<Case> cases = {
        {"edtInit_SPIN", "abc", "SO PIN不符合长度要求！", -1},
        {"edtInit_UPIN", "123", "用户PIN码不符合长度要求！", -1},
        // Ten Chinese characters take 30 bytes of UTF-8, eleven take 33.
        {"edtInit_KeyName", tenChinese + QChar(0x7814), "参数超出范围", 0},
        {"edtInit_GS", tenChinese + QChar(0x7814), "参数超出范围", 0},
        {"edtInit_UnLockPIN", tenChinese + QChar(0x7814), "参数超出范围", 0},
        // A PIN of 11 characters passes the length check but takes 33 bytes: never cut, refused.
        {"edtInit_SPIN", tenChinese + QChar(0x7814), "参数超出范围", 1},
        {"edtInit_UPIN", tenChinese + QChar(0x7814), "参数超出范围", 2},
    };
    for (const Case& c : cases) {
        form().TMainForm::LoadInitDefaults();
        const QString before = find(c.field)->text();
        typeInto(c.field, c.text);
        initPage().PCInit->setCurrentIndex(c.tab == 0 ? 2 : 0);
        messages.clear();
        initialise();
        EXPECT_EQ(messages.messageTexts(), QStringList{c.message}) << c.field;
        EXPECT_TRUE(library->calls.empty()) << c.field;
        if (c.tab >= 0) {
            EXPECT_EQ(initPage().PCInit->currentIndex(), c.tab) << c.field;
            EXPECT_EQ(initPage().focusWidget(), find(c.field)) << c.field;
        }
        typeInto(c.field, before);
    }
    typeInto("edtInit_KeyName", tenChinese);
    initPage().edtInit_SPIN->setText("qzvke");
    initialise();
    EXPECT_EQ(messages.messageTexts().last(), "操作成功");
}

TEST_F(InitKeyTest, BlankKeyIsFormattedAtOnceWithTheBlockAsLaidOut) {
    uninitialised = {0};
    openInit();
    typeInto("edtInit_KeyName", "Neu");
    typeInto("edtInit_UPIN", " 4711 ");
    initPage().edtInit_MaxCount->setValue(15);
    initPage().edtInit_SOPINlenMin->setValue(5);
    initialise();
    EXPECT_EQ(callsUpToFormat(),
              (std::vector<std::string>{"token_logout", "token_format", "remove_all_certs_from_store"}));
    EXPECT_TRUE(messages.passwordQueries().isEmpty());
    EXPECT_EQ(messages.messageTexts(), QStringList{"操作成功"});
    EXPECT_STREQ(formatted.label, "Neu");
    EXPECT_STREQ(formatted.manufacturer, "Norvale");
    EXPECT_STREQ(formatted.issuer, "Norvale");
    EXPECT_STREQ(formatted.so_pin, "qzvke");
    EXPECT_STREQ(formatted.user_pin, " 4711 "); // the new PINs are used untrimmed
    EXPECT_EQ(
        (std::vector<int>{formatted.user_pin_retries, formatted.so_pin_retries, formatted.user_pin_min_len,
                          formatted.user_pin_max_len, formatted.so_pin_min_len, formatted.so_pin_max_len}),
        (std::vector<int>{0x0F, 10, 4, 16, 5, 16}));
    EXPECT_EQ(page(), ui::PageKeyInfo);
}

TEST_F(InitKeyTest, TheFormattedKeyStaysSelectedWithItsInformationShown) {
    uninitialised = {1};
    openInit(1);
    typeInto("edtInit_KeyName", "Second");
    initialise();
    ASSERT_EQ(messages.messageTexts(), QStringList{"操作成功"});
    EXPECT_EQ(library->count("token_find"), 1);
    EXPECT_EQ(token::keyTable().currentKey, 1);
    EXPECT_EQ(part<QTreeWidget>(form(), "tv")->currentItem(), keyNode(1));
    EXPECT_EQ(page(), ui::PageKeyInfo);
    EXPECT_EQ(infoColumn(1).value(0), "Beta") << "the information of the formatted key, not of the first";
}

TEST_F(InitKeyTest, InitialisedKeyStopsSilentlyOnNoCancelOrAnEmptyPin) {
    openInit();
    messages.queueAnswer(ui::MessageAnswer::No);
    initialise();
    messages.queueAnswer(ui::MessageAnswer::Yes);
    messages.queuePassword(std::nullopt);
    initialise();
    messages.queueAnswer(ui::MessageAnswer::Yes);
    messages.queuePassword(QStringLiteral("   "));
    initialise();
    EXPECT_EQ(messages.messageTexts(), (QStringList{kAlphaQuestion, kAlphaQuestion, kAlphaQuestion}));
    EXPECT_EQ(messages.messages().first().icon, ui::MessageIcon::Question);
    EXPECT_EQ(library->calls, (std::vector<std::string>{"token_get_pin_state", "token_get_pin_state"}));
    const ui::PasswordRequest& prompt = messages.passwordQueries().first().request;
    EXPECT_EQ((QStringList{prompt.caption, prompt.prompt, prompt.defaultText, prompt.confirmCaption,
                           prompt.cancelCaption}),
              (QStringList{"验证SO PIN", "请输入SO PIN:", "", "确定", "取消"}));
}

TEST_F(InitKeyTest, SoPinLockedOrRefusedStopsBeforeTheFormat) {
    openInit();
    soLocked = true;
    messages.queueAnswer(ui::MessageAnswer::Yes);
    initialise();
    EXPECT_TRUE(messages.passwordQueries().isEmpty());
    soLocked = false;
    for (int32_t tries : {3, 0}) {
        soTriesLeft = tries;
        messages.queueAnswer(ui::MessageAnswer::Yes);
        messages.queuePassword(QStringLiteral(" wrong "));
        initialise();
    }
    EXPECT_EQ(messages.messageTexts(),
              (QStringList{kAlphaQuestion, kDead, kAlphaQuestion, "原口令不正确,您还有3次重试机会",
                           kAlphaQuestion, kDead}));
    EXPECT_EQ(soPinsTried, (std::vector<std::string>{"wrong", "wrong"}));
    EXPECT_EQ(library->count("token_format"), 0);
    EXPECT_EQ(loginState(0), token::KeyPresent);
}

TEST_F(InitKeyTest, InitialisedKeyIsLoggedOutBeforeTheSoLoginThatTheFormatRunsUnder) {
    openInit();
    token::keyTable().loginState[0] = token::LoggedIn;
    messages.queueAnswer(ui::MessageAnswer::Yes);
    messages.queuePassword(QStringLiteral("  87654321 "));
    initialise();
    EXPECT_EQ(callsUpToFormat(),
              (std::vector<std::string>{"token_get_pin_state", "token_logout", "token_login_so",
                                        "token_format", "remove_all_certs_from_store"}));
    EXPECT_EQ(soPinsTried, (std::vector<std::string>{"87654321"}));
    EXPECT_EQ(messages.messageTexts(), (QStringList{kAlphaQuestion, "操作成功"}));
}

TEST_F(InitKeyTest, FailedFormatKeepsTheStoreAndTheDefaultsAndLogsOut) {
    formatResult = 0x101;
    uninitialised = {1};
    openInit(1);
    typeInto("edtInit_KeyName", "Other");
    initialise();
    EXPECT_EQ(messages.messageTexts(), QStringList{"操作失败"});
    EXPECT_EQ(library->calls, (std::vector<std::string>{"token_logout", "token_format", "token_logout"}));
    EXPECT_FALSE(QFileInfo::exists(configPath()));
    EXPECT_EQ(loginState(1), token::KeyPresent);
}

TEST_F(InitKeyTest, SuccessKeepsTheValuesInANewOwnerOnlyFileAndRescans) {
    uninitialised = {0};
    openInit();
    typeInto("edtInit_KeyName", "Kept");
    typeInto("edtInit_SPIN", "so-secret");
    initPage().edtInit_PINLenMax->setValue(12);
    initialise();
    ASSERT_EQ(messages.messageTexts(), QStringList{"操作成功"});
    EXPECT_EQ(library->count("token_find"), 1);
    EXPECT_EQ(std::filesystem::status(configPath().toStdString()).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    TZartoBaseInfo kept;
    ASSERT_EQ(ReadInitConfig(configPath(), kept), 0);
    EXPECT_EQ(kept.LabelName, "Kept");
    EXPECT_EQ(kept.default_sopin.bytes(), "so-secret");
    EXPECT_EQ(kept.maxUPINLen, 12);
    EXPECT_TRUE(kept.ISOFile.isEmpty());
    initPage().edtInit_KeyName->clear();
    form().TMainForm::LoadInitDefaults();
    EXPECT_EQ(initPage().edtInit_KeyName->text(), "Kept");
}

TEST_F(InitKeyTest, DefaultsThatCannotBeWrittenAreReported) {
    uninitialised = {0};
    QDir().mkpath(configPath()); // a folder where the file should be
    openInit();
    initialise();
    EXPECT_EQ(messages.messageTexts(), (QStringList{"Unable to write to " + configPath(), "操作成功"}));
    EXPECT_EQ(messages.messages().first().icon, ui::MessageIcon::Error);
}

TEST_F(InitKeyTest, AReadOnlyProgramFolderKeepsTheDefaultsInTheUsersCopy) {
    const ReadOnlyProgramFolder readOnly;
    const QString userCopy =
        QString::fromStdString((world.configHome() / "Norvale/PellorZu/Initconfig.ini").string());
    uninitialised = {0};
    openInit();
    typeInto("edtInit_KeyName", "Mine");
    initialise();
    ASSERT_EQ(messages.messageTexts(), QStringList{"操作成功"});
    EXPECT_FALSE(QFileInfo::exists(configPath()));
    EXPECT_EQ(std::filesystem::status(userCopy.toStdString()).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    initPage().edtInit_KeyName->clear();
    form().TMainForm::LoadInitDefaults();
    EXPECT_EQ(initPage().edtInit_KeyName->text(), "Mine");

    QFile::remove(userCopy);
    QDir().mkpath(userCopy); // a folder where the copy should be
    openAdmin(0, InitTask);
    initialise();
    EXPECT_EQ(messages.messageTexts(), (QStringList{"Unable to write to " + userCopy, "操作成功"}));
}

TEST_F(InitKeyTest, RescanWhileTheQuestionOrPromptIsShownStopsWithoutTouchingTheKey) {
    openInit();
    messages.setOnMessage([this](const ui::RecordedMessage&) { form().ScanKeys(); });
    messages.queueAnswer(ui::MessageAnswer::Yes);
    initialise();
    messages.setOnMessage(nullptr);
    openAdmin(0, InitTask);
    messages.setOnPasswordQuery([this](const ui::RecordedPasswordQuery&) { form().ScanKeys(); });
    messages.queueAnswer(ui::MessageAnswer::Yes);
    messages.queuePassword(QStringLiteral("87654321"));
    initialise();
    EXPECT_EQ(library->count("token_login_so"), 0);
    EXPECT_EQ(library->count("token_format"), 0);
}

// The same window over virtual keys and the real library.
class InitKeyOnVirtualKeysTest : public InitKeyTest {
protected:
    InitKeyOnVirtualKeysTest() {
        useVirtualKeys();
        createVirtualKey(virtualKey("BLANK01", false));
        createVirtualKey(virtualKey("INIT02"));
    }
    void setNewValues(const QString& label) {
        typeInto("edtInit_KeyName", label);
        typeInto("edtInit_SPIN", "newsopin9");
        typeInto("edtInit_UPIN", "555666");
        initPage().edtInit_PINlenMin->setValue(6);
        initPage().edtInit_PINLenMax->setValue(9);
        initPage().edtInit_MaxCount->setValue(7);
        initPage().edtInit_MaxCount_SOPIN->setValue(4);
    }
    void openKey(int slot) {
        shownForm();
        part<QTimer>(form(), "TCheckInit")->stop();
        ASSERT_EQ(token::keyTable().keyCount, 2);
        select(adminNode(slot, InitTask));
        messages.clear();
    }
};

class InitKeyOnTokenTest : public InitKeyTest {
protected:
    static QString tokenQuestion() {
        const token::TZartoInfo& record = token::keyTable().keys[0];
        return kQuestion + QStringLiteral("\rOld token (") + QString::fromLatin1(record.serial) +
               QLatin1Char(')');
    }
    void SetUp() override {
        useSoftHsmToken("Old token");
        if (!IsSkipped() && !HasFatalFailure()) {
            ASSERT_TRUE(softhsm::fillToken("Old token", "Old", 1));
        }
    }
};

TEST_F(InitKeyOnTokenTest, APkcs11TokenIsFormattedWithTheCurrentSoPinAndShowsItsRealValues) {
    shownForm();
    part<QTimer>(form(), "TCheckInit")->stop();
    ASSERT_EQ(token::keyTable().keyCount, 1);
    select(adminNode(0, InitTask));
    messages.clear();
    typeInto("edtInit_KeyName", "Renewed");
    typeInto("edtInit_SPIN", "newsopin9");
    typeInto("edtInit_UPIN", "555666");
    initPage().edtInit_MaxCount->setValue(7);
    messages.queueAnswer(ui::MessageAnswer::Yes);
    messages.queuePassword(QString::fromLatin1(softhsm::kSoPin));
    initialise();
    ASSERT_EQ(messages.messageTexts(), (QStringList{tokenQuestion(), "操作成功"}));

    select(keyNode(0));
    const QStringList values = infoColumn(1);
    EXPECT_EQ(values.value(0), "Renewed");
    EXPECT_EQ(values.mid(6, 2), QStringList({"-", "-"})) << "PKCS#11 sets no retry count: the token's own";
    EXPECT_EQ(userLogin(0, "555666"), 0);
    EXPECT_TRUE(softhsm::containers(0).empty()) << "the format erased the container";
    EXPECT_EQ(soLogin(0, "newsopin9"), 0);
}

TEST_F(InitKeyOnVirtualKeysTest, BlankKeyIsFormattedAtOnce) {
    openKey(0);
    setNewValues("Fresh");
    initialise();
    ASSERT_EQ(messages.messageTexts(), QStringList{"操作成功"});
    const quillard::VirtualKeyStatus status = virtualKeyStatus("BLANK01");
    EXPECT_TRUE(status.initialised);
    EXPECT_EQ(status.label, "Fresh");
    EXPECT_EQ(userLogin(0, "555666"), 0);
}

TEST_F(InitKeyOnVirtualKeysTest, InitialisedKeyTakesTheNewValuesAfterTheSoPin) {
    openKey(1);
    // A container that the format must erase.
    int32_t tries = 0;
    ASSERT_EQ(token::token_login(1, kUserPin, tries), 0);
    ASSERT_EQ(token::container_create_new(1, "Old"), 0);
    token::token_logout(1);
    setNewValues("Renewed");
    messages.queueAnswer(ui::MessageAnswer::Yes);
    messages.queuePassword(QString::fromLatin1(kSoPin));
    initialise();
    ASSERT_EQ(messages.messageTexts(), (QStringList{kInit02Question, "操作成功"}));

    select(keyNode(1));
    const QStringList values = infoColumn(1);
    EXPECT_TRUE(values.contains("Renewed"));
    EXPECT_TRUE(values.contains("9"));
    EXPECT_TRUE(values.contains("6"));
    const quillard::VirtualKeyStatus status = virtualKeyStatus("INIT02");
    EXPECT_EQ(status.containers, 0u);
    EXPECT_EQ(status.userPin.maxRetries, 7);
    EXPECT_EQ(status.soPin.maxRetries, 4);
    EXPECT_EQ(userLogin(1, "555666"), 0);
    EXPECT_NE(userLogin(1, kUserPin), 0);
    EXPECT_EQ(soLogin(1, "newsopin9"), 0);
    EXPECT_NE(soLogin(1, kSoPin), 0);
    TZartoBaseInfo kept;
    ASSERT_EQ(ReadInitConfig(configPath(), kept), 0);
    EXPECT_EQ(kept.LabelName, "Renewed");
    EXPECT_EQ(kept.default_upin.bytes(), "555666");
    EXPECT_EQ(kept.soPinRetryTimes, 4);
}

TEST_F(InitKeyOnVirtualKeysTest, WrongSoPinCostsOneTryAndNamesTheTriesLeft) {
    openKey(1);
    messages.queueAnswer(ui::MessageAnswer::Yes);
    messages.queuePassword(QStringLiteral("wrong-so"));
    initialise();
    EXPECT_EQ(messages.messageTexts(), (QStringList{kInit02Question, "原口令不正确,您还有2次重试机会"}));
    EXPECT_EQ(virtualKeyStatus("INIT02").label, "Key INIT02");
}

} // namespace
