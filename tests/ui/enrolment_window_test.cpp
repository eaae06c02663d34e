// The certificate request page and the install button, driven by object names on a real virtual key: the
// page offers what the key makes, a request made there is saved and verifies with OpenSSL, the certificate a
// CA issues for it goes beside its pair, and a self-signed certificate lands in the certificate tree.
#include "cert_window_fixture.h"
#include "form_parts.h"
#include "i18n/string_table.h"
#include "ui/pages/enrolment_page.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

constexpr int kEnrolmentNode = 4;

class EnrolmentWindowTest : public CertVirtualKeyTest {
protected:
    void SetUp() override {
        createKey("ENROLWIN");
        loggedIn();
    }
    ui::EnrolmentPage* enrolmentPage() { return part<ui::EnrolmentPage>(form(), "TabSheet12"); }
    void openRequestPage() {
        select(keyNode(0)->child(kEnrolmentNode));
        waitForKeyOperations(form());
        ASSERT_EQ(page(), ui::PageEnrolment);
    }
    QStringList items(const char* name) {
        QStringList texts;
        auto* box = part<QComboBox>(form(), name);
        for (int i = 0; i < box->count(); ++i)
            texts << box->itemText(i);
        return texts;
    }
    void fillSubject() {
        part<QLineEdit>(form(), "edtEnrolCN")->setText("Window User");
        part<QLineEdit>(form(), "edtEnrolO")->setText("Example / Org");
        part<QLineEdit>(form(), "edtEnrolC")->setText("de");
        part<QLineEdit>(form(), "edtEnrolAltNames")->setText("email:user@example.org");
    }
    // Runs an OpenSSL command in the world's folder; its exit status, with what it printed in `output`.
    int openssl(const std::string& arguments, std::string* output = nullptr) {
        return softhsm::run(
            "cd " + softhsm::quoted(world.root().string()) + " && openssl " + arguments + " 2>&1", output);
    }
    QString worldFile(const char* name) { return QString::fromStdString((world.root() / name).string()); }
};

TEST_F(EnrolmentWindowTest, ARequestMadeOnThePageIsSavedAndItsIssuedCertificateInstalls) {
    openRequestPage();
    EXPECT_EQ(items("cbEnrolAlgorithm"),
              QStringList({"RSA 2048", "RSA 3072", "RSA 4096", "EC P-256", "EC P-384"}));
    EXPECT_EQ(part<QComboBox>(form(), "cbEnrolPlace")->count(), 1) << "a new container only";
    part<QLineEdit>(form(), "edtEnrolContainer")->setText("Window pair");
    part<QComboBox>(form(), "cbEnrolSpec")->setCurrentIndex(1);
    part<QComboBox>(form(), "cbEnrolAlgorithm")->setCurrentIndex(3);
    part<QComboBox>(form(), "cbEnrolUsage")->setCurrentIndex(1);
    fillSubject();
    messages.queueFileName(worldFile("window.csr"));
    QTest::mouseClick(part<QPushButton>(form(), "btnEnrolRequest"), Qt::LeftButton);
    waitForKeyOperations(form());
    ASSERT_EQ(messages.fileDialogs().size(), 1);
    EXPECT_EQ(messages.fileDialogs().first().request.defaultSuffix, "csr");
    ASSERT_EQ(messages.messages().size(), 1);
    EXPECT_EQ(messages.messages().first().text, i18n::text("Enrol_RequestSaved"));

    std::string text;
    ASSERT_EQ(openssl("req -in window.csr -verify -noout -text", &text), 0) << text;
    EXPECT_NE(text.find("CN = Window User, O = Example / Org, C = DE"), std::string::npos) << text;
    EXPECT_NE(text.find("email:user@example.org"), std::string::npos) << text;
    EXPECT_NE(text.find("TLS Web Client Authentication"), std::string::npos) << text;
    // The pair now stands in the container, without certificate, so its place is no longer free.
    EXPECT_EQ(items("cbEnrolPlace").value(1), "Window pair");
    part<QComboBox>(form(), "cbEnrolPlace")->setCurrentIndex(1);
    part<QComboBox>(form(), "cbEnrolSpec")->setCurrentIndex(1);
    EXPECT_EQ(items("cbEnrolAlgorithm"), QStringList({i18n::text("Enrol_PairThere")}));

    ASSERT_EQ(
        openssl("req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -keyout ca.key -out ca.pem "
                "-subj /CN=Window\\ CA -days 2"),
        0);
    ASSERT_EQ(
        openssl("x509 -req -in window.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 1 -out issued.pem"),
        0);
    select(taskNode(0, CertificatesTask));
    waitForKeyOperations(form());
    messages.clear();
    messages.queueFileName(worldFile("issued.pem"));
    QTest::mouseClick(part<QPushButton>(form(), "btnInstallCert"), Qt::LeftButton);
    waitForKeyOperations(form());
    ASSERT_EQ(messages.messages().size(), 1);
    EXPECT_EQ(messages.messages().first().text, i18n::text("Cert_Installed"));
    EXPECT_TRUE(treeLines(certTree()).join('\n').contains("Window User"))
        << treeLines(certTree()).join('\n').toStdString();

    // The CA's own certificate matches no pair: refused, and the tree stays as it was.
    const QStringList before = treeLines(certTree());
    messages.clear();
    messages.queueFileName(worldFile("ca.pem"));
    QTest::mouseClick(part<QPushButton>(form(), "btnInstallCert"), Qt::LeftButton);
    waitForKeyOperations(form());
    ASSERT_EQ(messages.messages().size(), 1);
    EXPECT_EQ(messages.messages().first().text, i18n::text("Cert_NoMatchingKey"));
    EXPECT_EQ(treeLines(certTree()), before);
}

TEST_F(EnrolmentWindowTest, ASelfSignedCertificateIsStoredAndBadInputIsRefusedFirst) {
    openRequestPage();
    QTest::mouseClick(part<QPushButton>(form(), "btnEnrolSelfSigned"), Qt::LeftButton);
    ASSERT_EQ(messages.messages().size(), 1);
    EXPECT_EQ(messages.messages().first().text, i18n::text("Enrol_NameMissing"));
    part<QLineEdit>(form(), "edtEnrolContainer")->setText("Self");
    part<QLineEdit>(form(), "edtEnrolC")->setText("D");
    part<QLineEdit>(form(), "edtEnrolCN")->setText("Self");
    QTest::mouseClick(part<QPushButton>(form(), "btnEnrolSelfSigned"), Qt::LeftButton);
    ASSERT_EQ(messages.messages().size(), 2);
    EXPECT_EQ(messages.messages().last().text, i18n::text("Enrol_SubjectBad"));
    part<QLineEdit>(form(), "edtEnrolC")->clear();
    part<QLineEdit>(form(), "edtEnrolAltNames")->setText("nonsense:thing");
    QTest::mouseClick(part<QPushButton>(form(), "btnEnrolSelfSigned"), Qt::LeftButton);
    waitForKeyOperations(form());
    ASSERT_EQ(messages.messages().size(), 3);
    EXPECT_EQ(messages.messages().last().text, i18n::text("Enrol_SubjectBad"));
    EXPECT_TRUE(messages.fileDialogs().isEmpty());

    // The pair made by the refused run stays; its place now offers it for the next try.
    part<QComboBox>(form(), "cbEnrolPlace")->setCurrentIndex(1);
    part<QLineEdit>(form(), "edtEnrolAltNames")->clear();
    QTest::mouseClick(part<QPushButton>(form(), "btnEnrolSelfSigned"), Qt::LeftButton);
    waitForKeyOperations(form());
    ASSERT_EQ(messages.messages().size(), 4);
    EXPECT_EQ(messages.messages().last().text, i18n::text("Enrol_SelfSignedStored"));
    select(taskNode(0, CertificatesTask));
    waitForKeyOperations(form());
    EXPECT_TRUE(treeLines(certTree()).join('\n').contains("Self"))
        << treeLines(certTree()).join('\n').toStdString();
}

} // namespace
