// The import dialog as a person uses it: its texts in both languages, choosing files by browsing and by
// dropping them, the rules between the radio buttons and fields, and the checks of OK against real
// certificate files read by the real library.
#include "i18n/string_table.h"
#include "tests/common/temp_world.h"
#include "tools/demo_credentials.h"
#include "ui/import_dialog.h"
#include "ui/scripted_message_service.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>
#include <openssl/pkcs12.h>
#include <openssl/x509.h>

#include <fstream>

namespace {

using quillard::demo::KeyType;

class ImportDialogTest : public ::testing::Test {
protected:
    ImportDialogTest() : credential(quillard::demo::makeSelfSignedCredential(KeyType::EcP256, "Alice")) {
        owner.resize(600, 500);
        owner.show();
    }
    ~ImportDialogTest() override {
        ui::TIMForm::setShownHook(nullptr);
        i18n::resetStringTable();
    }

    QString file(const char* name) const { return QString::fromStdString((world.root() / name).string()); }
    QString pkcs12File(const char* name, const std::string& password) const {
        quillard::demo::writePkcs12File(file(name).toStdString(), credential, password, false);
        return file(name);
    }
    QString certificateFile(const char* name) const {
        quillard::demo::writeCertificateFile(file(name).toStdString(), credential, false);
        return file(name);
    }
    QString garbageFile(const char* name) const {
        std::ofstream(file(name).toStdString()) << "not a certificate file";
        return file(name);
    }
    // A PKCS#12 file that the password opens but that holds only a certificate, no key.
    QString certificateOnlyPkcs12(const char* name) const {
        const unsigned char* cursor = credential.certificateDer.data();
        X509* certificate = d2i_X509(nullptr, &cursor, long(credential.certificateDer.size()));
        PKCS12* p12 = PKCS12_create("pw", nullptr, nullptr, certificate, nullptr, 0, 0, 1000, 1000, 0);
        std::vector<unsigned char> der(std::size_t(i2d_PKCS12(p12, nullptr)));
        unsigned char* out = der.data();
        i2d_PKCS12(p12, &out);
        PKCS12_free(p12);
        X509_free(certificate);
        std::ofstream(file(name).toStdString(), std::ios::binary)
            .write(reinterpret_cast<const char*>(der.data()), std::streamsize(der.size()));
        return file(name);
    }

    // Opens a dialog with `containers` as the opener fills it and runs `steps` while it is shown.
    int run(const QStringList& containers, const std::function<void(ui::TIMForm&)>& steps) {
        ui::TIMForm dialog(&owner);
        dialog.cbContName->addItems(containers);
        if (containers.isEmpty()) {
            dialog.rb2->setEnabled(false);
        } else {
            dialog.cbContName->setCurrentIndex(0);
            dialog.rb2->setChecked(true);
            dialog.rb2Click();
        }
        ui::TIMForm::setShownHook([&](ui::TIMForm& shown) {
            shown.activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(&shown));
            steps(shown);
            kind = shown.importKind;
            entries = shown.entryCount;
        });
        return dialog.exec();
    }

    static void click(QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton); }
    // On the indicator: a radio button takes clicks only over its indicator and its text.
    static void click(QRadioButton* radio) {
        QTest::mouseClick(radio, Qt::LeftButton, {}, QPoint(6, radio->height() / 2));
    }
    static void typePassword(ui::TIMForm& dialog, const QString& password) {
        dialog.edtpwd->setFocus();
        dialog.edtpwd->selectAll();
        QTest::keyClicks(dialog.edtpwd, password);
    }
    static void drop(ui::TIMForm& dialog, const QStringList& paths) {
        QList<QUrl> urls;
        for (const QString& path : paths)
            urls.append(QUrl::fromLocalFile(path));
        QMimeData mime;
        mime.setUrls(urls);
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(dialog.edtPath, &enter);
        EXPECT_TRUE(enter.isAccepted()) << "the read-only path field takes dropped files";
        QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(dialog.edtPath, &dropped);
    }

    TempWorld world;
    ui::ScriptedMessageService messages;
    QWidget owner;
    quillard::Credential credential;
    int32_t kind = -1;
    int32_t entries = -1;
};

TEST_F(ImportDialogTest, ShowStepsGiveTheTextsOfEitherLanguageAndTheStartStates) {
    run({}, [](ui::TIMForm& dialog) {
        EXPECT_EQ(dialog.size(), QSize(374, 387));
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("导入证书"));
        EXPECT_EQ(dialog.btnpath->text(), QStringLiteral("浏览"));
        EXPECT_EQ(dialog.Label2->text(), QStringLiteral("证书访问密码:"));
        EXPECT_EQ(dialog.btnOK->text(), QStringLiteral("确定"));
        EXPECT_FALSE(dialog.btnOK->isEnabled());
        EXPECT_FALSE(dialog.edtpwd->isEnabled());
        EXPECT_TRUE(dialog.btnRandom->isEnabled());
        EXPECT_TRUE(dialog.rb1->isChecked());
        EXPECT_TRUE(dialog.rb3->isChecked());
        // No container: no click rule ran, so both the name and the list are usable.
        EXPECT_TRUE(dialog.edtContname->isEnabled());
        EXPECT_TRUE(dialog.cbContName->isEnabled());
        EXPECT_FALSE(dialog.rb2->isEnabled());
        for (QPushButton* button : dialog.findChildren<QPushButton*>())
            EXPECT_FALSE(button->autoDefault()) << button->objectName().toStdString();
    });

    i18n::LoadLanguageFile(QStringLiteral(PELLORZU_SOURCE_DIR "/Languages/EN_1033.lng"));
    run({"first", "second"}, [](ui::TIMForm& dialog) {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Import"));
        EXPECT_EQ(dialog.Label2->text(), QStringLiteral("Certificate Password:"));
        EXPECT_EQ(dialog.rb2->text(), QStringLiteral("Existing container:"));
        EXPECT_EQ(dialog.font().family(), i18n::text("FontName"));
        EXPECT_TRUE(dialog.rb2->isChecked());
        EXPECT_FALSE(dialog.edtContname->isEnabled());
        EXPECT_TRUE(dialog.cbContName->isEnabled());
        EXPECT_FALSE(dialog.btnRandom->isEnabled());
        EXPECT_FALSE(dialog.btnOK->isEnabled()) << "the show steps disable OK after the opener's rule";
    });
}

TEST_F(ImportDialogTest, ChoosingAFileSetsThePasswordFieldByItsExactExtension) {
    const QString cer = certificateFile("alice.cer");
    const QString upperCer = certificateFile("alice.CER");
    const QString pfx = pkcs12File("alice.pfx", "pw");
    messages.queueFileName(pfx);
    messages.queueFileName(QString()); // a cancelled dialog changes nothing
    messages.queueFileName(cer);
    messages.queueFileName(upperCer);
    run({"first"}, [&](ui::TIMForm& dialog) {
        click(dialog.btnpath);
        EXPECT_EQ(dialog.edtPath->text(), pfx);
        EXPECT_TRUE(dialog.edtpwd->isEnabled());
        EXPECT_TRUE(dialog.edtpwd->hasFocus());
        EXPECT_TRUE(dialog.btnOK->isEnabled()) << "an existing container is chosen";
        click(dialog.btnpath);
        EXPECT_EQ(dialog.edtPath->text(), pfx);
        click(dialog.btnpath);
        EXPECT_FALSE(dialog.edtpwd->isEnabled());
        EXPECT_EQ(dialog.edtpwd->palette().color(QPalette::Base), dialog.palette().color(QPalette::Button));
        click(dialog.btnpath);
        EXPECT_TRUE(dialog.edtpwd->isEnabled()) << ".CER is a PKCS#12 file";
    });
    ASSERT_EQ(messages.fileDialogs().size(), 4);
    EXPECT_EQ(messages.fileDialogs()[0].request.filter,
              QStringLiteral("Cert file|*.pfx;*.p12;*.cer;*.crt;*.pem"));
    EXPECT_EQ(messages.unansweredFileDialogs(), 0);
}

TEST_F(ImportDialogTest, DroppedFilesAreTakenInOrderAndMissingOnesIgnored) {
    const QString first = pkcs12File("first.pfx", "pw");
    const QString second = certificateFile("second.cer");
    run({"first"}, [&](ui::TIMForm& dialog) {
        drop(dialog, {first, second, file("missing.pfx"), world.root().c_str()});
        EXPECT_EQ(dialog.edtPath->text(), second);
        EXPECT_FALSE(dialog.edtpwd->isEnabled());
        drop(dialog, {file("gone.p12")});
        EXPECT_EQ(dialog.edtPath->text(), second);
    });
}

TEST_F(ImportDialogTest, ContainerRadioButtonsRandomNameAndPasswordLength) {
    run({"first"}, [&](ui::TIMForm& dialog) {
        click(dialog.rb1);
        EXPECT_TRUE(dialog.edtContname->isEnabled());
        EXPECT_FALSE(dialog.cbContName->isEnabled());
        EXPECT_FALSE(dialog.btnOK->isEnabled()) << "no name yet";
        EXPECT_TRUE(dialog.btnRandom->isEnabled());
        click(dialog.btnRandom);
        const QString name = dialog.edtContname->text();
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\{[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\\}$"))
                        .match(name)
                        .hasMatch())
            << name.toStdString();
        EXPECT_TRUE(dialog.btnOK->isEnabled());
        dialog.edtContname->clear();
        EXPECT_FALSE(dialog.btnOK->isEnabled());
        QTest::keyClicks(dialog.edtContname, QStringLiteral("  "));
        EXPECT_TRUE(dialog.btnOK->isEnabled()) << "spaces count";
        click(dialog.rb2);
        EXPECT_FALSE(dialog.edtContname->isEnabled());
        EXPECT_TRUE(dialog.btnRandom->isEnabled()) << "rb2 leaves the random button alone";

        dialog.chooseFile(pkcs12File("alice.pfx", "pw"));
        typePassword(dialog, QStringLiteral("secret"));
        EXPECT_EQ(dialog.Label1->text(), QStringLiteral("6"));
        dialog.cbContName->setFocus();
        EXPECT_TRUE(dialog.Label1->text().isEmpty());
        dialog.edtpwd->setFocus();
        EXPECT_EQ(dialog.Label1->text(), QStringLiteral("6"));
    });
}

TEST_F(ImportDialogTest, OkChecksFileThenPasswordThenContentsThenName) {
    const QString good = pkcs12File("alice.pfx", "right");
    const QString garbage = garbageFile("garbage.p12");
    const QString noPair = certificateOnlyPkcs12("certonly.pfx");
    const int result = run({}, [&](ui::TIMForm& dialog) {
        QTest::keyClicks(dialog.edtContname, QStringLiteral("   "));
        click(dialog.btnOK);
        dialog.chooseFile(good);
        typePassword(dialog, QStringLiteral("wrong"));
        dialog.btnRandom->setFocus();
        click(dialog.btnOK);
        EXPECT_TRUE(dialog.edtpwd->hasFocus()) << "a refused password sends the user back to it";
        dialog.chooseFile(garbage);
        click(dialog.btnOK);
        dialog.chooseFile(noPair);
        typePassword(dialog, QStringLiteral("pw"));
        click(dialog.btnOK);
        dialog.chooseFile(good);
        typePassword(dialog, QStringLiteral("right"));
        click(dialog.btnOK);
        EXPECT_TRUE(dialog.isVisible()) << "a blank name keeps the dialog open";
        QTest::keyClicks(dialog.edtContname, QStringLiteral("new"));
        click(dialog.btnOK);
        EXPECT_FALSE(dialog.isVisible());
    });
    EXPECT_EQ(messages.messageTexts(),
              (QStringList{"请选择正确的证书！", "证书文件或访问密码有误", "证书文件或访问密码有误",
                           "证书文件无效，请重新选择", "容器名称不能为空"}));
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(kind, 0);
    EXPECT_EQ(entries, 1);
}

TEST_F(ImportDialogTest, CertificateFileNeedsNoPasswordAndFileMustStillExist) {
    const QString cer = certificateFile("alice.cer");
    const int result = run({"first"}, [&](ui::TIMForm& dialog) {
        dialog.chooseFile(cer);
        std::filesystem::rename(cer.toStdString(), file("moved.cer").toStdString());
        click(dialog.btnOK);
        dialog.chooseFile(file("moved.cer"));
        click(dialog.btnOK);
    });
    EXPECT_EQ(messages.messageTexts(), QStringList{"请选择正确的证书！"});
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(kind, 1);
    EXPECT_EQ(entries, 0) << "a certificate file leaves the entry count alone";
}

TEST_F(ImportDialogTest, EscapeCancelAndAnUnclosedDialogAllReject) {
    EXPECT_EQ(run({}, [](ui::TIMForm& dialog) { QTest::keyClick(&dialog, Qt::Key_Escape); }),
              QDialog::Rejected);
    EXPECT_EQ(run({}, [](ui::TIMForm& dialog) { click(dialog.btnNO); }), QDialog::Rejected);
    EXPECT_EQ(run({}, [](ui::TIMForm&) {}), QDialog::Rejected);
    EXPECT_TRUE(messages.messages().isEmpty());
}

} // namespace
