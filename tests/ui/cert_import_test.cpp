// Importing a certificate file through the import dialog and the worker: files of every kind into new and
// existing containers on a real virtual key, the refusals before anything is written, out of space, and on a
// scripted library the worker's wait, the progress bar, the time limit and the key guard.
#include "cert_window_fixture.h"
#include "form_parts.h"
#include "token/cert_presence.h"
#include "ui/handlers/key_navigator.h"
#include "ui/import_dialog.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <atomic>
#include <fstream>
#include <thread>

namespace {

using Fill = std::function<void(ui::TIMForm&)>;

// Installs `fill` as the import dialog's hook for the lifetime of the object. A dialog shown again (after a
// place that cannot take the certificate) is given to `again`, which cancels it unless told otherwise.
class DialogAnswer {
public:
    explicit DialogAnswer(
        Fill fill, Fill again = [](ui::TIMForm& dialog) { dialog.btnNO->click(); }) {
        ui::TIMForm::setShownHook(
            [fill = std::move(fill), again = std::move(again), shown = 0](ui::TIMForm& dialog) mutable {
                (shown++ == 0 ? fill : again)(dialog);
            });
    }
    ~DialogAnswer() { ui::TIMForm::setShownHook(nullptr); }
};

Fill intoNewContainer(const QString& path, const QString& password, const QString& name,
                      bool exchange = true) {
    return [=](ui::TIMForm& dialog) {
        dialog.rb1->click();
        dialog.chooseFile(path);
        dialog.edtpwd->setText(password);
        dialog.edtContname->setText(name);
        (exchange ? dialog.rb3 : dialog.rb4)->click();
        dialog.btnOK->click();
    };
}

Fill intoExistingContainer(const QString& path, const QString& password, int position, bool exchange) {
    return [=](ui::TIMForm& dialog) {
        dialog.cbContName->setCurrentIndex(position);
        dialog.chooseFile(path);
        dialog.edtpwd->setText(password);
        (exchange ? dialog.rb3 : dialog.rb4)->click();
        dialog.btnOK->click();
    };
}

class CertImportOnVirtualKeyTest : public CertVirtualKeyTest {
protected:
    QString pkcs12File(const char* name, const quillard::Credential& credential, bool legacy = false) {
        const auto path = world.root() / name;
        std::string error;
        EXPECT_TRUE(quillard::demo::writePkcs12File(path, credential, "secret", legacy, &error)) << error;
        return QString::fromStdString(path.string());
    }
    QString certificateFile(const char* name, const quillard::Credential& credential, bool pem) {
        const auto path = world.root() / name;
        EXPECT_TRUE(quillard::demo::writeCertificateFile(path, credential, pem));
        return QString::fromStdString(path.string());
    }
    void import(Fill fill) {
        const DialogAnswer answer(std::move(fill));
        action(&ui::MainActions::AcInputCert)->trigger();
        waitForKeyOperations(form());
    }
    std::vector<std::string> containersOnKey() {
        quillard::SoftkeyDriver driver{quillard::keysFolder()};
        std::vector<std::string> serials, names;
        EXPECT_EQ(driver.find(serials), 0);
        EXPECT_EQ(driver.listContainers(0, names), 0);
        return names;
    }
};

TEST_F(CertImportOnVirtualKeyTest, Pkcs12FilesOfEveryKindGoIntoNewAndExistingContainers) {
    createKey("IMP00001");
    loggedIn();
    import(intoNewContainer(pkcs12File("rsa.pfx", rsaCredential()), "secret", "Imported RSA"));
    EXPECT_EQ(messages.messageTexts(), QStringList{"操作成功"});
    EXPECT_EQ(treeLines(certTree()), (QStringList{"Imported RSA(容器)", "  密钥交换证书", "    Tree RSA",
                                                  "    公钥(RSA2048)", "    私钥(RSA2048)"}));
    EXPECT_TRUE(part<QTimer>(form(), "TRegCert")->isActive());
    EXPECT_FALSE(part<ui::CertificatesPage>(form(), "TabSheet5")->PBCert->isVisible());
    EXPECT_EQ(part<ui::CertificatesPage>(form(), "TabSheet5")->PBCert->value(), 100);

    import(intoExistingContainer(pkcs12File("ec.p12", ecCredential()), "secret", 0, false));
    import(intoNewContainer(pkcs12File("legacy.pfx", otherRsaCredential(), true), "secret", "Legacy", false));
    EXPECT_EQ(messages.messageTexts(), QStringList(3, QStringLiteral("操作成功")));
    // The certificate just imported is the one selected, in view.
    ASSERT_NE(certTree()->currentItem(), nullptr);
    EXPECT_EQ(certTree()->currentItem()->text(0), QStringLiteral("Other RSA"));
    EXPECT_EQ(treeLines(certTree()),
              (QStringList{"Imported RSA(容器)", "  密钥交换证书", "    Tree RSA", "    公钥(RSA2048)",
                           "    私钥(RSA2048)", "  签名证书", "    Tree EC", "    公钥(ECC256)",
                           "    私钥(ECC256)", "Legacy(容器)", "  签名证书", "    Other RSA",
                           "    公钥(RSA2048)", "    私钥(RSA2048)"}));
}

class CertImportOnTokenTest : public CertTokenTest {
protected:
    void import(Fill fill) {
        const DialogAnswer answer(std::move(fill));
        action(&ui::MainActions::AcInputCert)->trigger();
        waitForKeyOperations(form());
    }
};

TEST_F(CertImportOnTokenTest, Pkcs12FilesGoIntoNewAndExistingContainersOfAPkcs11Token) {
    loggedInToToken();
    EXPECT_EQ(treeLines(certTree()), QStringList{"(无容器)"});
    import(intoNewContainer(pkcs12File("rsa.pfx", rsaCredential()), "secret", "Imported RSA"));
    import(intoExistingContainer(pkcs12File("ec.p12", ecCredential()), "secret", 0, false));
    EXPECT_EQ(messages.messageTexts(), QStringList(2, QStringLiteral("操作成功")));
    EXPECT_EQ(treeLines(certTree()), (QStringList{"Imported RSA(容器)", "  密钥交换证书", "    Tree RSA",
                                                  "    公钥(RSA2048)", "    私钥(RSA2048)", "  签名证书",
                                                  "    Tree EC", "    公钥(ECC256)", "    私钥(ECC256)"}));
    EXPECT_EQ(softhsm::run("pkcs11-tool --module " + softhsm::modulePath() + " -l --pin " +
                           softhsm::kUserPin + " -O --type privkey --label 'Imported RSA'"),
              0);
}

TEST_F(CertImportOnVirtualKeyTest, X509FilesNamedCrtOrPemInDerOrPemBringTheCertificateAndItsPublicKeyOnly) {
    createKey("IMP00002");
    fill("IMP00002", "holder", 0, nullptr);
    loggedIn();
    import(intoExistingContainer(certificateFile("rsa.crt", rsaCredential(), false), "", 0, true));
    import(intoExistingContainer(certificateFile("ec.pem", ecCredential(), true), "", 0, false));
    EXPECT_EQ(messages.messageTexts(), QStringList(2, QStringLiteral("操作成功")));
    EXPECT_EQ(treeLines(certTree()),
              (QStringList{"holder(容器)", "  密钥交换证书", "    Tree RSA", "    公钥(RSA2048)",
                           "  签名证书", "    Tree EC", "    公钥(ECC256)"}));
}

TEST_F(CertImportOnVirtualKeyTest, RefusalsComeBeforeAnythingIsWritten) {
    createKey("IMP00003");
    fill("IMP00003", "taken", 1, &rsaCredential());
    loggedIn();
    const QString file = pkcs12File("ec.pfx", ecCredential());
    import(intoNewContainer(file, "secret", "taken"));
    import(intoExistingContainer(file, "secret", 0, true));
    EXPECT_EQ(messages.messageTexts(), (QStringList{"容器名称相同，创建失败", "容器中交换密钥证书已存在\r"}));
    EXPECT_EQ(containersOnKey(), std::vector<std::string>{"taken"});

    // A wrong password and a file that is no PKCS#12 are refused by the dialog, which stays open.
    std::ofstream(world.root() / "garbage.pfx") << "not a certificate file at all";
    messages.clear();
    for (const QString& path : {file, QString::fromStdString((world.root() / "garbage.pfx").string())}) {
        import([&](ui::TIMForm& dialog) {
            intoNewContainer(path, "wrong", "new one")(dialog);
        EXPECT_TRUE(dialog.isVisible());
        dialog.btnNO->click();
    });
}
EXPECT_EQ(messages.messageTexts(), (QStringList{"证书文件或访问密码有误", "证书文件或访问密码有误"}));
EXPECT_EQ(containersOnKey(), std::vector<std::string>{"taken"});
} // namespace

TEST_F(CertImportOnVirtualKeyTest, ATakenPlaceBringsTheDialogBackWithWhatWasEnteredAndAFreePlaceIsOffered) {
    createKey("IMP00006");
    fill("IMP00006", "taken", 1, &rsaCredential());
    loggedIn();
    const QString file = pkcs12File("ec.pfx", ecCredential());
    bool offeredFreePlace = false;
    const DialogAnswer answer(
        [&](ui::TIMForm& dialog) {
            offeredFreePlace = dialog.rb4->isChecked();
            dialog.chooseFile(file);
            dialog.edtpwd->setText(QStringLiteral("secret"));
            dialog.rb3->click(); // the exchange place, which is taken
            dialog.btnOK->click();
        },
        [&](ui::TIMForm& dialog) {
            EXPECT_EQ(dialog.edtPath->text(), file);
            EXPECT_EQ(dialog.edtpwd->text().size(), 6);
            EXPECT_TRUE(dialog.rb2->isChecked());
            dialog.rb4->click();
            dialog.btnOK->click();
        });
    action(&ui::MainActions::AcInputCert)->trigger();
    waitForKeyOperations(form());
    EXPECT_TRUE(offeredFreePlace) << "the signature place is the free one";
    EXPECT_EQ(messages.messageTexts(), (QStringList{"容器中交换密钥证书已存在\r", "操作成功"}));
    EXPECT_EQ(treeLines(certTree()).mid(5, 2), (QStringList{"  签名证书", "    Tree EC"}));
}

TEST_F(CertImportOnVirtualKeyTest, KeyOutOfMemoryShowsOutOfSpaceAndKeepsNothingOfTheImport) {
    createKey("IMP00004", 3000);
    fill("IMP00004", "small", 1, &ecCredential());
    loggedIn();
    import(intoNewContainer(pkcs12File("rsa.pfx", rsaCredential()), "secret", "too big"));
    EXPECT_EQ(messages.messageTexts(), QStringList{"空间不足"});
    EXPECT_EQ(containersOnKey(), std::vector<std::string>{"small"});
    EXPECT_EQ(treeLines(certTree()).first(), QStringLiteral("small(容器)"));
    EXPECT_EQ(certTree()->topLevelItemCount(), 1);
}

TEST_F(CertImportOnVirtualKeyTest, CancelledDialogChangesNothing) {
    createKey("IMP00005");
    loggedIn();
    import([](ui::TIMForm& dialog) {
        EXPECT_TRUE(dialog.rb1->isChecked());
    EXPECT_FALSE(dialog.rb2->isEnabled());
    dialog.btnNO->click();
});
EXPECT_TRUE(messages.messages().isEmpty());
EXPECT_TRUE(containersOnKey().empty());
EXPECT_FALSE(part<QTimer>(form(), "TRegCert")->isActive());
}

// A scripted library whose import waits until the test lets it go.
class CertImportWorkerTest : public CertScriptedTest {
protected:
    CertImportWorkerTest() {
        std::ofstream(world.root() / "file.pfx") << "scripted";
        filePath = QString::fromStdString((world.root() / "file.pfx").string());
        library->pkcs12_file_parse = [](const char*, const char*, int32_t* entries) {
            *entries = 1;
            return int32_t(0);
        };
        library->pkcs12_import_certificate = [this](int32_t idx, const char* name, int32_t spec, int32_t) {
            importedInto = {idx, name, spec};
            for (int i = 0; i < 1000 && !release; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            importEnded = true;
            return importResult.load();
        };
    }
    ~CertImportWorkerTest() override { release = true; }
    // Starts the import the dialog answer asks for and returns while it runs.
    void startImport(Fill fill) {
        const DialogAnswer answer(std::move(fill));
        waitForActions = false;
        action(&ui::MainActions::AcInputCert)->trigger();
        waitForActions = true;
    }
    void runImport(Fill fill) {
        startImport(std::move(fill));
        waitForKeyOperations(form());
    }

    QString filePath;
    std::atomic<bool> release{true};
    std::atomic<bool> importEnded{false};
    std::atomic<int32_t> importResult{0};
    std::tuple<int32_t, std::string, int32_t> importedInto;
};

TEST_F(CertImportWorkerTest, BarAdvancesAndTheWindowKeepsWorkingWhileTheWorkerRuns) {
    containers[0] = {{"c", {}}};
    loggedIn();
    release = false;
    QList<int> barValues;
    bool scanRan = false;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        barValues << part<ui::CertificatesPage>(form(), "TabSheet5")->PBCert->value();
        if (barValues.size() == 15)
            release = true;
    });
    watcher.start(100);
    // A device event during the import must wait until the key is free again.
    part<ui::KeyNavigator>(form(), "navigator")->onKeyArrival(0xE917);
    const auto scans = library->count("token_find");
    runImport(intoExistingContainer(filePath, "pw", 0, true));
    scanRan = library->count("token_find") > scans;
    watcher.stop();
    ASSERT_GE(barValues.size(), 15);
    EXPECT_GT(barValues.last(), barValues.first());
    EXPECT_FALSE(scanRan);
    EXPECT_EQ(std::get<1>(importedInto), "c");
    EXPECT_EQ(library->count("container_create_new"), 0);
}

TEST_F(CertImportWorkerTest, AKeyPulledDuringTheImportSaysItWasRemoved) {
    containers[0] = {{"c", {}}};
    loggedIn();
    for (int32_t removed : {int32_t(QR_DEVICE_REMOVED), int32_t(QR_TOKEN_NOT_PRESENT)}) {
        importResult = removed;
        runImport(intoExistingContainer(filePath, "pw", 0, true));
        waitForKeyOperations(form());
    }
    EXPECT_EQ(messages.messageTexts(),
              (QStringList{"导入证书失败 ErrorCode :String=   0x00000032\rUSBKey已被拔出",
                           "导入证书失败 ErrorCode :String=   0x000000E0\rUSBKey已被拔出"}));
}

TEST_F(CertImportWorkerTest, ResultThatLooksLikeStillActiveIsReportedAsSoonAsTheWorkerEnds) {
    containers[0] = {{"c", {}}};
    loggedIn();
    importResult = 0x103;
    QElapsedTimer clock;
    clock.start();
    runImport(intoExistingContainer(filePath, "pw", 0, true));
    EXPECT_LT(clock.elapsed(), 30000);
    EXPECT_EQ(messages.messageTexts(), QStringList{"导入证书失败 ErrorCode :String=   0x00000103"});
    EXPECT_EQ(library->count("token_reload_all_objects"), 1);
    EXPECT_TRUE(part<QTimer>(form(), "TRegCert")->isActive());
}

TEST_F(CertImportWorkerTest, WhileTheImportRunsTheKeyIsLeftAloneAndTheWindowStaysEnabled) {
    containers[0] = {{"c", {}}};
    loggedIn();
    release = false;
    startImport(intoExistingContainer(filePath, "pw", 0, true));
    for (int i = 0; i < 10; ++i)
        letTheEventLoopIdle();
    EXPECT_TRUE(messages.messages().isEmpty());
    EXPECT_FALSE(importEnded);
    EXPECT_TRUE(form().keyGuard().busy());
    EXPECT_TRUE(form().isEnabled());
    EXPECT_EQ(library->count("container_load_all"), 0);
    EXPECT_FALSE(part<QTimer>(form(), "TRegCert")->isActive());

    release = true;
    waitForKeyOperations(form());
    EXPECT_FALSE(form().keyGuard().busy());
    EXPECT_EQ(library->count("container_load_all"), 1);
    EXPECT_TRUE(part<QTimer>(form(), "TRegCert")->isActive());
}

TEST_F(CertImportWorkerTest, ClosingTheWindowDuringAnImportWaitsForTheWorkerBeforeShuttingDown) {
    containers[0] = {{"c", {}}};
    loggedIn();
    release = false;
    bool endedBeforeShutdown = false;
    library->uninit_pkcs11 = [&] {
        endedBeforeShutdown = importEnded.load();
        return int32_t(0);
    };
    startImport(intoExistingContainer(filePath, "pw", 0, true));
    ASSERT_FALSE(importEnded);
    std::thread releaser([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        release = true;
    });
    destroyForm();
    releaser.join();
    EXPECT_TRUE(endedBeforeShutdown);
}

TEST_F(CertImportWorkerTest, RescanWhileTheDialogIsOpenEndsTheImportAsACancel) {
    containers[0] = {{"c", {}}};
    loggedIn();
    runImport([this](ui::TIMForm& dialog) {
        form().ScanKeys();
        intoExistingContainer(filePath, "pw", 0, true)(dialog);
    });
    EXPECT_EQ(library->count("pkcs12_import_certificate"), 0);
    EXPECT_TRUE(messages.messages().isEmpty());
}

TEST_F(CertImportWorkerTest, ExistingContainerIsTakenByItsBytesNotByTheShownText) {
    const std::string name = "caf\xe9 \xff";
    containers[0] = {{"first", {}}, {name, {}}};
    loggedIn();
    runImport(intoExistingContainer(filePath, "pw", 1, false));
    EXPECT_EQ(library->count("container_create_new"), 0);
    EXPECT_EQ(importedInto, std::make_tuple(int32_t(0), name, int32_t(2)));
}

TEST_F(CertImportWorkerTest, ANewContainerIsMadeByTheImportItselfSoAFailureLeavesNothing) {
    loggedIn();
    importResult = 0x1A;
    std::vector<std::string> created, deleted;
    library->container_create_new = [&](int32_t, const char* name) {
        created.emplace_back(name);
        return int32_t(0);
    };
    library->container_delete = [&](int32_t, const char* name) {
        deleted.emplace_back(name);
        return int32_t(0);
    };
    runImport(intoNewContainer(filePath, "pw", "  spaced  "));
    EXPECT_EQ(messages.messageTexts(), QStringList{"导入证书失败 ErrorCode :String=   0x0000001A"});
    EXPECT_EQ(std::get<1>(importedInto), "  spaced  ");
    EXPECT_TRUE(created.empty());
    EXPECT_TRUE(deleted.empty());
    EXPECT_TRUE(part<QTimer>(form(), "TRegCert")->isActive());
}

} // namespace
