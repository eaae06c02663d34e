// The window over a SoftHSM2 token that the test token module turns into a PIN-pad reader (login, PIN
// changes, unlock and format with every PIN typed on the reader), a write-protected token, a token without
// login, or a token pulled out during a slow read.
#include "i18n/string_table.h"
#include "token/lib/quillard.h"
#include "token/lib/quillard_errors.h"
#include "token_kinds_fixture.h"

#include <QAction>
#include <QPushButton>

namespace {

TEST_F(TokenKindsTest, APinPadReaderLogsInWithoutATypedPin) {
    fillToken("pairs", 1, &rsaCredential());
    wrapToken("pin_pad = 1\npin = " + std::string(softhsm::kUserPin) + "\n");
    showToken();
    select(taskNode(kTokenSlot, CertificatesTask));
    EXPECT_EQ(page(), ui::PageLogin);
    EXPECT_FALSE(find("edtUPIN")->isEnabled());
    EXPECT_EQ(find("edtUPIN")->placeholderText(), i18n::text("K_PinOnReader"));
    letTheEventLoopIdle();
    ASSERT_TRUE(action(&ui::MainActions::AcLogin)->isEnabled()) << "nothing to type";
    action(&ui::MainActions::AcLogin)->trigger();
    waitForKeyOperations(form());
    EXPECT_TRUE(messages.messages().isEmpty());
    EXPECT_EQ(loginState(kTokenSlot), token::LoggedIn);
    EXPECT_EQ(page(), ui::PageCertificates);
    EXPECT_TRUE(certificateTree().contains(QStringLiteral("pairs(容器)")));
}

TEST_F(TokenKindsTest, APinPadReaderThatRefusesThePinShowsTheRefusal) {
    wrapToken("pin_pad = 1\npin = 99999999\n");
    showToken();
    select(taskNode(kTokenSlot, CertificatesTask));
    action(&ui::MainActions::AcLogin)->trigger();
    waitForKeyOperations(form());
    EXPECT_EQ(messages.messages().size(), 1);
    EXPECT_EQ(loginState(kTokenSlot), token::KeyPresent);
    EXPECT_EQ(page(), ui::PageLogin);
}

TEST_F(TokenKindsTest, APinPadReaderChangesUnlocksAndFormatsWithNothingTyped) {
    wrapToken("pin_pad = 1\npin = " + std::string(softhsm::kUserPin) + "\nso_pin = " + softhsm::kSoPin +
              "\nnew_pin = 11112222\nnew_so_pin = 33334444\n");
    showToken();
    // Each form's PIN fields take nothing and say where the PINs are entered; its button needs nothing.
    const auto runOnReader = [this](QTreeWidgetItem* node, const char* field,
                                    QAction* ui::MainActions::*run) {
        select(node);
        letTheEventLoopIdle();
        EXPECT_FALSE(find(field)->isEnabled()) << field;
        EXPECT_EQ(find(field)->placeholderText(), i18n::text("K_PinOnReader")) << field;
        ASSERT_TRUE(action(run)->isEnabled()) << field;
        messages.clear();
        action(run)->trigger();
        waitForKeyOperations(form());
    };
    QTreeWidgetItem* admin = taskNode(kTokenSlot, AdministrationTask);
    runOnReader(taskNode(kTokenSlot, UserPinTask), "edtOldUPin", &ui::MainActions::AcSetUserPIN);
    EXPECT_EQ(messages.messages().size(), 1);
    EXPECT_EQ(messages.messages().value(0).text, i18n::text("K_Set_Yes"));
    runOnReader(admin->child(1), "edtSPIN", &ui::MainActions::AcSetSOPIN);
    EXPECT_EQ(messages.messages().value(0).text, i18n::text("Change_Yes"));
    runOnReader(admin->child(2), "edtSPINForUnLock", &ui::MainActions::AcUnlock);
    EXPECT_EQ(messages.messages().value(0).text, i18n::text("Change_Yes"));

    // The format asks the question, then says where the SO PIN is entered instead of prompting for it.
    select(admin->child(0));
    letTheEventLoopIdle();
    EXPECT_FALSE(find("edtInit_SPIN")->isEnabled());
    typeInto("edtInit_KeyName", "Padded");
    typeInto("edtInit_GS", "Norvale");
    messages.clear();
    messages.queueAnswer(ui::MessageAnswer::Yes);
    action(&ui::MainActions::AcInit)->trigger();
    waitForKeyOperations(form());
    EXPECT_TRUE(messages.passwordQueries().isEmpty());
    ASSERT_EQ(messages.messages().size(), 3);
    EXPECT_EQ(messages.messages()[1].text, i18n::text("K_PinOnReader"));
    EXPECT_EQ(messages.messages()[2].text, i18n::text("Change_Yes"));

    // What was typed on the pad is what the token now takes.
    int32_t left = 0;
    EXPECT_EQ(token_login(kTokenSlot, "11112222", &left), QR_OK);
    token_logout(kTokenSlot);
    EXPECT_EQ(token_login_so(kTokenSlot, "33334444", &left), QR_OK);
    token_logout(kTokenSlot);
}

TEST_F(TokenKindsTest, AWriteProtectedTokenOffersNoWriteAndSaysWhy) {
    fillToken("pairs", 1, &rsaCredential());
    wrapToken("write_protected = 1\n");
    showToken();
    logInThroughWindow(kTokenSlot, QString::fromLatin1(softhsm::kUserPin));
    ASSERT_EQ(loginState(kTokenSlot), token::LoggedIn);
    EXPECT_TRUE(certificateTree().contains(QStringLiteral("pairs(容器)")));
    letTheEventLoopIdle();
    for (QAction* ui::MainActions::*write : {&ui::MainActions::AcInputCert, &ui::MainActions::AcDel}) {
        EXPECT_FALSE(action(write)->isEnabled()) << action(write)->objectName().toStdString();
        EXPECT_EQ(action(write)->toolTip(), i18n::text("K_WriteProtected"));
    }
    EXPECT_FALSE(find<QPushButton>("btnInstallCert")->isEnabled());
    EXPECT_EQ(find<QPushButton>("btnInstallCert")->toolTip(), i18n::text("K_WriteProtected"));
    select(taskNode(kTokenSlot, UserPinTask));
    letTheEventLoopIdle();
    EXPECT_FALSE(action(&ui::MainActions::AcSetUserPIN)->isEnabled());
    // The request page makes no key pair on it.
    select(keyNode(kTokenSlot)->child(4));
    waitForKeyOperations(form());
    EXPECT_FALSE(find<QPushButton>("btnEnrolRequest")->isEnabled());
    EXPECT_EQ(find<QPushButton>("btnEnrolSelfSigned")->toolTip(), i18n::text("K_WriteProtected"));

    // The virtual key beside it takes writes again.
    logInThroughWindow(0, QString::fromLatin1(kPin));
    letTheEventLoopIdle();
    EXPECT_TRUE(action(&ui::MainActions::AcInputCert)->isEnabled());
    EXPECT_NE(action(&ui::MainActions::AcInputCert)->toolTip(), i18n::text("K_WriteProtected"));
}

TEST_F(TokenKindsTest, ATokenWithoutLoginShowsItsTreeAndOffersNoLogout) {
    fillToken("pairs", 1, &rsaCredential());
    wrapToken("no_login = 1\n");
    showToken();
    select(taskNode(kTokenSlot, CertificatesTask));
    waitForKeyOperations(form());
    EXPECT_EQ(page(), ui::PageCertificates);
    EXPECT_TRUE(certificateTree().contains(QStringLiteral("pairs(容器)")));
    letTheEventLoopIdle();
    EXPECT_FALSE(action(&ui::MainActions::Aclogout)->isEnabled());
    EXPECT_TRUE(messages.messages().isEmpty());
}

TEST_F(TokenKindsTest, ATokenPulledOutDuringASlowReadIsReportedAndTheWindowRecovers) {
    fillToken("pairs", 1, &rsaCredential());
    const auto pulled = world.root() / "pulled";
    wrapToken("delay_ms = 50\ndelayed = C_FindObjects\nvanish_file = " + pulled.string() + "\n");
    showToken();
    logInThroughWindow(kTokenSlot, QString::fromLatin1(softhsm::kUserPin));
    ASSERT_EQ(loginState(kTokenSlot), token::LoggedIn);
    ASSERT_TRUE(writeTestFile(pulled, ""));
    action(&ui::MainActions::Acrefresh)->trigger();
    waitForKeyOperations(form());
    EXPECT_FALSE(certificateTree().contains(QStringLiteral("pairs(容器)")));

    // Put back, the token is found again by the refresh button and its tree reads as before.
    std::filesystem::remove(pulled);
    action(&ui::MainActions::AcFindKeyRefresh)->trigger();
    waitForKeyOperations(form());
    ASSERT_EQ(token::keyTable().keyCount, 2);
    logInThroughWindow(kTokenSlot, QString::fromLatin1(softhsm::kUserPin));
    EXPECT_EQ(loginState(kTokenSlot), token::LoggedIn);
    EXPECT_TRUE(certificateTree().contains(QStringLiteral("pairs(容器)")));
}

} // namespace
