// The certificate tree: what a logged-in key shows, the images, the presence table, a failed list read, and
// the mouse on tvCert.
#include "cert_window_fixture.h"
#include "form_parts.h"
#include "token/cert_presence.h"

#include <QMenu>
#include <QTest>

namespace {

using token::CertPresence;

class CertTreeOnVirtualKeyTest : public CertVirtualKeyTest {};

TEST_F(CertTreeOnVirtualKeyTest, LoginShowsEveryContainerWithItsCertificatesSubjectsAndKeyPairs) {
    createKey("TREE0001");
    fill("TREE0001", "Both pairs", 1, &rsaCredential());
    fill("TREE0001", "Both pairs", 2, &rsaCredential());
    fill("TREE0001", "ec", 2, &ecCredential());
    fill("TREE0001", "empty", 0, nullptr);
    loggedIn();

    EXPECT_EQ(page(), ui::PageCertificates);
    EXPECT_EQ(treeLines(certTree()), (QStringList{
                                         "Both pairs(容器)",
                                         "  密钥交换证书",
                                         "    Tree RSA",
                                         "    公钥(RSA2048)",
                                         "    私钥(RSA2048)",
                                         "  签名证书",
                                         "    Tree RSA",
                                         "    公钥(RSA2048)",
                                         "    私钥(RSA2048)",
                                         "ec(容器)",
                                         "  签名证书",
                                         "    Tree EC",
                                         "    公钥(ECC256)",
                                         "    私钥(ECC256)",
                                         "empty(容器)",
                                     }));
    EXPECT_EQ(CertPresence().flag(0, 0, 1), 1);
    EXPECT_EQ(CertPresence().flag(0, 0, 2), 2);
    EXPECT_EQ(CertPresence().flag(0, 1, 1), 0);
    EXPECT_EQ(CertPresence().flag(0, 1, 2), 2);
    EXPECT_EQ(CertPresence().flag(0, 2, 2), 0);
    EXPECT_EQ(token::keyTable().keys[0].containerCount, 3);

    // Images: containers and certificates 1 (2 while open), subject 3, public key 4, private key 5.
    QTreeWidgetItem* certificate = certNode(1, 0);
    EXPECT_EQ(ui::nodeImage(certNode(1)), 1);
    EXPECT_EQ(ui::nodeExpandedImage(certNode(1)), 2);
    EXPECT_EQ(ui::nodeImage(certificate), 1);
    EXPECT_EQ(ui::nodeExpandedImage(certificate), 2);
    EXPECT_TRUE(certificate->isExpanded());
    EXPECT_EQ(ui::nodeImage(certificate->child(0)), 3);
    EXPECT_EQ(ui::nodeImage(certificate->child(1)), 4);
    EXPECT_EQ(ui::nodeImage(certificate->child(2)), 5);
}

TEST_F(CertTreeOnVirtualKeyTest, KeyWithoutContainersShowsOneNodeAndDeletingStaysOff) {
    createKey("TREE0002");
    loggedIn();
    EXPECT_EQ(treeLines(certTree()), QStringList{"(无容器)"});
    EXPECT_EQ(ui::nodeImage(certNode(0)), 1);
    selectCert(certNode(0));
    EXPECT_FALSE(action(&ui::MainActions::AcDel)->isEnabled());
    EXPECT_FALSE(action(&ui::MainActions::AcListCert)->isEnabled());
}

TEST_F(CertTreeOnVirtualKeyTest, RefreshShowsWhatAnotherProgramAddedMeanwhile) {
    createKey("TREE0003");
    loggedIn();
    fill("TREE0003", "added later", 1, &ecCredential());
    action(&ui::MainActions::Acrefresh)->trigger();
    EXPECT_EQ(treeLines(certTree()).first(), QStringLiteral("added later(容器)"));
}

class CertTreeScriptedTest : public CertScriptedTest {};

TEST_F(CertTreeScriptedTest, FailedListReadShowsNoContainersInsteadOfTheLastList) {
    containers[0] = {{"old one", {{1, der("Old")}}}};
    loggedIn();
    ASSERT_EQ(treeLines(certTree()).first(), QStringLiteral("old one(容器)"));
    listResult = 0x32;
    action(&ui::MainActions::Acrefresh)->trigger();
    EXPECT_EQ(treeLines(certTree()), QStringList{"(无容器)"});
    EXPECT_EQ(token::keyTable().keys[0].containerCount, 0);
    EXPECT_TRUE(messages.messages().isEmpty());
    selectCert(certNode(0));
    EXPECT_FALSE(action(&ui::MainActions::AcDel)->isEnabled());
}

TEST_F(CertTreeScriptedTest, CallsComeInTheOrderOfOneCertificateReadThenTheTwoKeyQueries) {
    containers[0] = {{"c", {{2, der("Sig")}}}};
    loggedIn();
    action(&ui::MainActions::Acrefresh)->trigger();
    const std::vector<std::string> expected = {
        "token_reload_all_objects", "container_load_all",   "container_get_cert",    // spec 1: absent,
        "container_get_pubkey",     "container_get_prikey",                          // no pair alone either
        "container_get_cert",       "container_get_pubkey", "helper_get_cert_info2", // spec 2
        "container_get_pubkey",     "container_get_prikey"};
    EXPECT_EQ(library->calls, expected);
    EXPECT_EQ(treeLines(certTree()),
              (QStringList{"c(容器)", "  签名证书", "    Sig", "    公钥(RSA2048)", "    私钥(RSA2048)"}));
}

TEST_F(CertTreeScriptedTest, PresenceCoversTheLastContainerOfTheKeyTable) {
    for (int i = 0; i < 65; ++i)
        containers[0].push_back({"c" + std::to_string(i), {}});
    containers[0][64].certificates = {{1, der("Last exchange")}};
    loggedIn();
    EXPECT_EQ(CertPresence().flag(0, 64, 1), 1);
    EXPECT_EQ(certTree()->topLevelItemCount(), 65);
    EXPECT_EQ(certNode(64, 0)->text(0), QStringLiteral("密钥交换证书"));
}

TEST_F(CertTreeScriptedTest, OnlyTheSubjectNodeEnablesViewExportAndDeleteCertificate) {
    containers[0] = {{"c", {{1, der("Ex")}, {2, der("Sig")}}}};
    loggedIn();
    const auto certificateActionsOn = [this] {
        return action(&ui::MainActions::AcListCert)->isEnabled() &&
               action(&ui::MainActions::AcOutput)->isEnabled() &&
               action(&ui::MainActions::AcDelCert)->isEnabled();
    };
    selectCert(certNode(0));
    EXPECT_FALSE(certificateActionsOn());
    EXPECT_TRUE(action(&ui::MainActions::AcDel)->isEnabled());
    selectCert(certNode(0, 1));
    EXPECT_FALSE(certificateActionsOn());
    selectCert(certNode(0, 1, 2));
    EXPECT_FALSE(certificateActionsOn());
    selectCert(certNode(0, 1, 0));
    EXPECT_TRUE(certificateActionsOn());
    EXPECT_FALSE(action(&ui::MainActions::AcDel)->isEnabled());
}

TEST_F(CertTreeScriptedTest, RightClickSelectsTheNodeFirstAndDoesNothingOverEmptySpace) {
    containers[0] = {{"c", {{1, der("Ex")}}}};
    loggedIn();
    QMenu* menu = part<ui::CertificatesPage>(form(), "TabSheet5")->PMCertInfo;
    QTreeWidgetItem* subject = certNode(0, 0, 0);
    const QPoint onSubject = certTree()->visualItemRect(subject).center();
    emit certTree()->customContextMenuRequested(onSubject);
    EXPECT_EQ(certTree()->currentItem(), subject);
    EXPECT_TRUE(action(&ui::MainActions::AcListCert)->isEnabled());
    EXPECT_TRUE(menu->isVisible());
    menu->hide();

    selectCert(certNode(0));
    emit certTree()->customContextMenuRequested(QPoint(5, certTree()->viewport()->height() - 3));
    EXPECT_EQ(certTree()->currentItem(), certNode(0));
    EXPECT_FALSE(menu->isVisible());
}

TEST_F(CertTreeScriptedTest, DoubleClickShowsOnlyASubjectNodesCertificate) {
    containers[0] = {{"c", {{2, der("Sig")}}}};
    std::vector<uint8_t> shown;
    library->helper_show_cert_ui = [&shown](void*, const uint8_t* cert, int32_t length) {
        shown.assign(cert, cert + length);
        return int32_t(0);
    };
    loggedIn();
    selectCert(certNode(0));
    emit certTree()->itemDoubleClicked(certNode(0), 0);
    EXPECT_EQ(library->count("helper_show_cert_ui"), 0);
    selectCert(certNode(0, 0, 0));
    emit certTree()->itemDoubleClicked(certNode(0, 0, 0), 0);
    EXPECT_EQ(shown, der("Sig"));
}

} // namespace
