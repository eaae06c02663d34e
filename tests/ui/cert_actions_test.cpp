// View, export and the two deletions on the certificate page, on real virtual keys and on a scripted library
// for the failure texts and the key guard.
#include "cert_window_fixture.h"
#include "token/cert_presence.h"
#include "token/lib/cert_store.h"
#include "ui/cert_viewer_dialog.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <filesystem>

namespace {

class CertActionsOnVirtualKeyTest : public CertVirtualKeyTest {
protected:
    QString exportPath(const char* name) { return QString::fromStdString((world.root() / name).string()); }
    static QByteArray fileBytes(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static QByteArray derOf(const quillard::Credential& credential) {
        return QByteArray(reinterpret_cast<const char*>(credential.certificateDer.data()),
                          static_cast<qsizetype>(credential.certificateDer.size()));
    }
};

TEST_F(CertActionsOnVirtualKeyTest, ExportWritesTheExactCertificateBytesToAFileOfTheOwnerOnly) {
    createKey("ACT00001");
    fill("ACT00001", "pairs", 1, &rsaCredential());
    fill("ACT00001", "pairs", 2, &ecCredential());
    loggedIn();
    const QString path = exportPath("signature.cer");
    messages.queueFileName(path);
    selectCert(certNode(0, 1, 0));
    action(&ui::MainActions::AcOutput)->trigger();

    ASSERT_EQ(messages.fileDialogs().size(), 1);
    EXPECT_EQ(messages.fileDialogs()[0].kind, ui::RecordedFileDialog::Save);
    EXPECT_EQ(messages.fileDialogs()[0].request.defaultSuffix, QStringLiteral("cer"));
    EXPECT_EQ(messages.messageTexts(), QStringList{"导出成功"});
    EXPECT_EQ(fileBytes(path), derOf(ecCredential()));
    // The name proposed is the certificate's, in the user's documents folder; PEM is offered beside DER.
    EXPECT_TRUE(messages.fileDialogs()[0].request.folder.endsWith(QStringLiteral("/Tree EC.cer")));
    EXPECT_EQ(messages.fileDialogs()[0].request.filter,
              QStringLiteral("DER (*.cer)|*.cer|PEM (*.pem)|*.pem"));
    using std::filesystem::perms;
    EXPECT_EQ(std::filesystem::status(path.toStdString()).permissions(),
              perms::owner_read | perms::owner_write);
}

class CertActionsOnTokenTest : public CertTokenTest {};

TEST_F(CertActionsOnTokenTest, ATokenBesideTheVirtualKeysShowsExportsAndDeletesItsCertificates) {
    fillToken("pairs", 1, &rsaCredential());
    fillToken("pairs", 2, &ecCredential());
    loggedInToToken();
    EXPECT_EQ(keyNode(0)->text(0), "Key VK000001") << "virtual keys first";
    EXPECT_EQ(keyNode(1)->text(0), "Real token");
    EXPECT_EQ(treeLines(certTree()), (QStringList{"pairs(容器)", "  密钥交换证书", "    Tree RSA",
                                                  "    公钥(RSA2048)", "    私钥(RSA2048)", "  签名证书",
                                                  "    Tree EC", "    公钥(ECC256)", "    私钥(ECC256)"}));

    const QString path = QString::fromStdString((world.root() / "exchange.cer").string());
    messages.queueFileName(path);
    selectCert(certNode(0, 0, 0));
    action(&ui::MainActions::AcOutput)->trigger();
    EXPECT_EQ(messages.messageTexts(), QStringList{"导出成功"});
    QFile exported(path);
    ASSERT_TRUE(exported.open(QIODevice::ReadOnly));
    EXPECT_EQ(exported.readAll(),
              QByteArray(reinterpret_cast<const char*>(rsaCredential().certificateDer.data()),
                         static_cast<qsizetype>(rsaCredential().certificateDer.size())));

    selectCert(certNode(0, 1, 0));
    messages.queueAnswer(ui::MessageAnswer::Yes);
    action(&ui::MainActions::AcDelCert)->trigger();
    EXPECT_EQ(treeLines(certTree()),
              (QStringList{"pairs(容器)", "  密钥交换证书", "    Tree RSA", "    公钥(RSA2048)",
                           "    私钥(RSA2048)", "  无证书的密钥对 (签名)"}))
        << "the certificate goes, its key pair stays";
    selectCert(certNode(0));
    messages.queueAnswer(ui::MessageAnswer::Yes);
    action(&ui::MainActions::AcDel)->trigger();
    EXPECT_EQ(treeLines(certTree()), QStringList{"(无容器)"});
}

TEST_F(CertActionsOnVirtualKeyTest, DoubleClickOnASubjectOpensTheViewerOverTheWindow) {
    createKey("ACT00008");
    fill("ACT00008", "pairs", 1, &rsaCredential());
    fill("ACT00008", "pairs", 2, &ecCredential());
    loggedIn();
    QStringList seen;
    QWidget* owner = nullptr;
    ui::CertViewerDialog::setShownHook([&](ui::CertViewerDialog& dialog) {
        owner = dialog.parentWidget();
        seen << dialog.fieldText(ui::CertViewerDialog::Field::Subject)
             << dialog.fieldText(ui::CertViewerDialog::Field::PublicKey);
    });
    selectCert(certNode(0, 1, 0));
    emit certTree()->itemDoubleClicked(certNode(0, 1, 0), 0);
    ui::CertViewerDialog::setShownHook(nullptr);
    ASSERT_EQ(seen.size(), 2);
    EXPECT_TRUE(seen[0].contains(QStringLiteral("Tree EC"))) << seen[0].toStdString();
    EXPECT_TRUE(seen[1].startsWith(QStringLiteral("EC"))) << seen[1].toStdString();
    EXPECT_EQ(owner, &form());
    EXPECT_TRUE(messages.messages().isEmpty());
}

TEST_F(CertActionsOnVirtualKeyTest, ExportThatCannotWriteSaysSoAndKeepsTheOldFile) {
    createKey("ACT00002");
    fill("ACT00002", "pairs", 1, &rsaCredential());
    loggedIn();
    selectCert(certNode(0, 0, 0));
    // A path that is a folder cannot be written, even as root.
    const QString folder = exportPath("a-folder");
    std::filesystem::create_directory(folder.toStdString());
    messages.queueFileName(folder);
    action(&ui::MainActions::AcOutput)->trigger();
    ASSERT_EQ(messages.messages().size(), 1);
    EXPECT_EQ(messages.messages()[0].icon, ui::MessageIcon::Error);
    EXPECT_EQ(messages.messages()[0].text, QStringLiteral("Unable to write to ") + folder);

    // A replaced file is whole afterwards, and a cancelled dialog writes nothing.
    const QString existing = exportPath("existing.cer");
    QFile old(existing);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("previous content that is longer than nothing");
    old.close();
    messages.clear();
    messages.queueFileName(existing);
    action(&ui::MainActions::AcOutput)->trigger();
    EXPECT_EQ(fileBytes(existing), derOf(rsaCredential()));
    messages.clear();
    action(&ui::MainActions::AcOutput)->trigger();
    EXPECT_TRUE(messages.messages().isEmpty());
}

TEST_F(CertActionsOnVirtualKeyTest, ExportAsPemWritesThePemTextOfTheCertificate) {
    createKey("ACT00008");
    fill("ACT00008", "pairs", 1, &rsaCredential());
    loggedIn();
    const QString path = exportPath("exchange.pem");
    messages.queueFileName(path);
    selectCert(certNode(0, 0, 0));
    action(&ui::MainActions::AcOutput)->trigger();
    waitForKeyOperations(form());
    EXPECT_EQ(messages.messageTexts(), QStringList{"导出成功"});
    const QByteArray pem = fileBytes(path);
    EXPECT_TRUE(pem.startsWith("-----BEGIN CERTIFICATE-----\n"));
    const QByteArray body = pem.sliced(28, pem.indexOf("-----END") - 28).replace('\n', "");
    EXPECT_EQ(QByteArray::fromBase64(body), derOf(rsaCredential()));
}

TEST_F(CertActionsOnVirtualKeyTest, DeletingTheCertificateAndThenTheContainerAsksAndRebuilds) {
    createKey("ACT00003");
    fill("ACT00003", "only", 1, &rsaCredential());
    fill("ACT00003", "only", 2, &rsaCredential());
    loggedIn();

    selectCert(certNode(0, 1, 0));
    messages.queueAnswer(ui::MessageAnswer::No);
    action(&ui::MainActions::AcDelCert)->trigger();
    // The question names the key and the certificate it would delete.
    EXPECT_EQ(messages.messageTexts(), QStringList{"确定要删除吗？\rKey ACT00003 (ACT00003): Tree RSA"});
    EXPECT_EQ(certNode(0)->childCount(), 2);

    selectCert(certNode(0, 1, 0));
    messages.queueAnswer(ui::MessageAnswer::Yes);
    action(&ui::MainActions::AcDelCert)->trigger();
    EXPECT_EQ(treeLines(certTree()),
              (QStringList{"only(容器)", "  密钥交换证书", "    Tree RSA", "    公钥(RSA2048)",
                           "    私钥(RSA2048)", "  无证书的密钥对 (签名)"}))
        << "the certificate goes, its key pair stays";
    EXPECT_EQ(token::CertPresence().flag(0, 0, 2), 0);

    selectCert(certNode(0));
    messages.queueAnswer(ui::MessageAnswer::Yes);
    // The Delete key deletes the selected container after the same question.
    QTest::keyClick(certTree(), Qt::Key_Delete);
    waitForKeyOperations(form());
    EXPECT_EQ(treeLines(certTree()), QStringList{"(无容器)"});
    EXPECT_EQ(messages.messageTexts().mid(1),
              (QStringList{"确定要删除吗？\rKey ACT00003 (ACT00003): Tree RSA", "操作成功",
                           "确定要删除吗？\rKey ACT00003 (ACT00003): only", "操作成功"}));
}

TEST_F(CertActionsOnVirtualKeyTest, RescanDuringTheQuestionDeletesNothingOnEitherKey) {
    // Two keys with containers of the same name, both logged in.
    createKey("ACT00004");
    createKey("ACT00005");
    fill("ACT00004", "Same name", 1, &rsaCredential());
    fill("ACT00005", "Same name", 1, &rsaCredential());
    loggedIn(1);
    logInThroughWindow(0, QString::fromLatin1(kPin));
    select(taskNode(1, CertificatesTask));
    ASSERT_EQ(token::keyTable().currentKey, 1);
    selectCert(certNode(0));
    messages.clear();
    messages.setOnMessage([this](const ui::RecordedMessage&) { form().ScanKeys(); });
    messages.queueAnswer(ui::MessageAnswer::Yes);
    action(&ui::MainActions::AcDel)->trigger();
    messages.setOnMessage(nullptr);

    EXPECT_EQ(messages.messageTexts(), QStringList{"确定要删除吗？\rKey ACT00005 (ACT00005): Same name"});
    quillard::SoftkeyDriver driver{quillard::keysFolder()};
    std::vector<std::string> serials;
    ASSERT_EQ(driver.find(serials), 0);
    for (int32_t idx = 0; idx < 2; ++idx) {
        std::vector<std::string> names;
        ASSERT_EQ(driver.listContainers(idx, names), 0);
        EXPECT_EQ(names, std::vector<std::string>{"Same name"}) << serials[idx];
    }
}

TEST_F(CertActionsOnVirtualKeyTest, DeletionRebuildsTheStoreFromEveryKey) {
    createKey("ACT00006");
    createKey("ACT00007");
    fill("ACT00006", "rsa", 1, &rsaCredential());
    fill("ACT00006", "gone", 1, &rsaCredential());
    fill("ACT00007", "other", 2, &otherRsaCredential());
    fill("ACT00007", "ec", 1, &ecCredential());
    loggedIn();
    selectCert(certNode(1));
    messages.queueAnswer(ui::MessageAnswer::Yes);
    action(&ui::MainActions::AcDel)->trigger();

    std::vector<quillard::CertStoreEntry> entries;
    ASSERT_EQ(quillard::CertStore().list(entries), 0);
    std::vector<std::pair<std::string, int32_t>> registered;
    for (const auto& entry : entries)
        registered.emplace_back(entry.container, entry.spec);
    std::sort(registered.begin(), registered.end());
    // Elliptic-curve certificates stay out of the store.
    EXPECT_EQ(registered, (std::vector<std::pair<std::string, int32_t>>{{"other", 2}, {"rsa", 1}}));
}

class CertActionsScriptedTest : public CertScriptedTest {};

TEST_F(CertActionsScriptedTest, FailedDeletionShowsTheCodeAndKeepsTreeAndStore) {
    containers[0] = {{"c", {{1, der("Ex")}}}};
    library->container_delete_cert = [](int32_t, const char*, int32_t) { return int32_t(10); };
    loggedIn();
    selectCert(certNode(0, 0, 0));
    messages.queueAnswer(ui::MessageAnswer::Yes);
    action(&ui::MainActions::AcDelCert)->trigger();
    EXPECT_EQ(messages.messageTexts().last(), QStringLiteral("删除失败 ErrorCode :String=  = 0x0000000A"));
    EXPECT_EQ(library->count("remove_all_certs_from_store"), 0);
    EXPECT_EQ(certTree()->currentItem(), certNode(0, 0, 0));
}

TEST_F(CertActionsScriptedTest, TheCertificateOfALateContainerIsDeletedUnderItsOwnSpecification) {
    for (int i = 0; i < 41; ++i)
        containers[0].push_back({"c" + std::to_string(i), {}});
    containers[0][40].certificates = {{1, der("Exchange of 40")}};
    std::vector<std::pair<std::string, int32_t>> deleted;
    library->container_delete_cert = [&deleted](int32_t, const char* name, int32_t spec) {
        deleted.emplace_back(name, spec);
        return int32_t(0);
    };
    loggedIn();
    selectCert(certNode(40, 0, 0));
    messages.queueAnswer(ui::MessageAnswer::Yes);
    action(&ui::MainActions::AcDelCert)->trigger();
    EXPECT_EQ(deleted, (std::vector<std::pair<std::string, int32_t>>{{"c40", 1}}));
}

TEST_F(CertActionsScriptedTest, DeletionUsesTheNamesTheTreeShowsEvenAfterTheListWasReadAgain) {
    containers[0] = {{"first", {{1, der("A")}}}, {"second", {{1, der("B")}}}};
    std::vector<std::string> deleted;
    library->container_delete = [&deleted](int32_t, const char* name) {
        deleted.emplace_back(name);
        return int32_t(0);
    };
    loggedIn();
    // Another program removed "first"; registering reads the list again without rebuilding the tree.
    containers[0].erase(containers[0].begin());
    action(&ui::MainActions::AcRegCert)->trigger();
    selectCert(certNode(0));
    messages.queueAnswer(ui::MessageAnswer::Yes);
    action(&ui::MainActions::AcDel)->trigger();
    EXPECT_EQ(deleted, std::vector<std::string>{"first"});
}

TEST_F(CertActionsScriptedTest, ViewOfACertificateThatCannotBeReadSaysSo) {
    containers[0] = {{"c", {{1, der("Ex")}}}};
    loggedIn();
    selectCert(certNode(0, 0, 0));
    containers[0][0].certificates.clear();
    action(&ui::MainActions::AcListCert)->trigger();
    EXPECT_EQ(messages.messageTexts(), QStringList{"获取证书信息错误"});
    EXPECT_EQ(library->count("helper_show_cert_ui"), 0);
}

} // namespace
