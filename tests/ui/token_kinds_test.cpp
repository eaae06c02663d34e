// The window over a SoftHSM2 token that the test token module turns into a PIN-pad reader, a write-protected
// token, a token without login, or a token pulled out during a slow read.
#include "cert_window_fixture.h"
#include "i18n/string_table.h"
#include "ui/pages/certificates_page.h"

#include <QAction>
#include <QTreeWidget>
#include <stdlib.h>

namespace {

class TokenKindsTest : public CertTokenTest {
protected:
    ~TokenKindsTest() override {
        unsetenv("PZ_TEST_TOKEN_SETTINGS");
        unsetenv("QUILLARD_PKCS11_MODULES");
    }
    // The token as the test module makes it from `settings`, the module the window's library loads.
    void wrapToken(const std::string& settings) {
        const auto file = world.root() / "token-double.conf";
        ASSERT_TRUE(writeTestFile(file, "module = " + softhsm::modulePath() + "\n" + settings));
        setenv("PZ_TEST_TOKEN_SETTINGS", file.c_str(), 1);
        setenv("QUILLARD_PKCS11_MODULES", PZ_TEST_TOKEN_MODULE_PATH, 1);
    }
    void showToken() {
        certForm();
        ASSERT_EQ(token::keyTable().keyCount, 2);
    }
    QStringList certificateTree() {
        return treeLines(part<ui::CertificatesPage>(form(), "TabSheet5")->tvCert);
    }
};

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
    select(taskNode(kTokenSlot, UserPinTask));
    letTheEventLoopIdle();
    EXPECT_FALSE(action(&ui::MainActions::AcSetUserPIN)->isEnabled());

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
