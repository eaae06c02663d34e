// The certificate viewer behind helper_show_cert_ui: a certificate handed to the real library opens the
// dialog over its owner with the certificate's fields in the language in effect; bytes that are no
// certificate give a message and no dialog.
#include "i18n/string_table.h"
#include "token/token_ops.h"
#include "tools/demo_credentials.h"
#include "ui/cert_viewer_dialog.h"
#include "ui/scripted_message_service.h"

#include <QClipboard>
#include <QCryptographicHash>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/x509v3.h>

namespace {

using Field = ui::CertViewerDialog::Field;
using quillard::demo::KeyType;

// The demo certificate re-signed with an extended key usage added.
std::vector<uint8_t> withExtendedKeyUsage(const quillard::Credential& credential) {
    const unsigned char* cursor = credential.certificateDer.data();
    X509* certificate = d2i_X509(nullptr, &cursor, long(credential.certificateDer.size()));
    const unsigned char* keyCursor = credential.privateKeyDer.data();
    EVP_PKEY* key = d2i_AutoPrivateKey(nullptr, &keyCursor, long(credential.privateKeyDer.size()));
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension =
        X509V3_EXT_conf_nid(nullptr, &context, NID_ext_key_usage, "clientAuth,emailProtection");
    X509_add_ext(certificate, extension, -1);
    X509_sign(certificate, key, EVP_sha256());
    std::vector<uint8_t> der(std::size_t(i2d_X509(certificate, nullptr)));
    unsigned char* out = der.data();
    i2d_X509(certificate, &out);
    X509_EXTENSION_free(extension);
    EVP_PKEY_free(key);
    X509_free(certificate);
    return der;
}

QString colonFingerprint(const std::vector<uint8_t>& der, QCryptographicHash::Algorithm algorithm) {
    const QByteArray bytes(reinterpret_cast<const char*>(der.data()), qsizetype(der.size()));
    return QString::fromLatin1(QCryptographicHash::hash(bytes, algorithm).toHex(':').toUpper());
}

class CertViewerTest : public ::testing::Test {
protected:
    CertViewerTest() {
        owner.show();
        ui::registerCertificateViewer();
    }
    ~CertViewerTest() override {
        ui::CertViewerDialog::setShownHook(nullptr);
        token::set_cert_display_handler(nullptr, nullptr);
        i18n::resetStringTable();
    }

    // Hands `der` to the library as the certificate actions do; `seen` runs while the dialog is shown.
    int32_t show(const std::vector<uint8_t>& der, const std::function<void(ui::CertViewerDialog&)>& seen) {
        ui::CertViewerDialog::setShownHook([&](ui::CertViewerDialog& dialog) {
            ++shown;
            EXPECT_TRUE(dialog.isVisible());
            EXPECT_TRUE(dialog.isModal());
            EXPECT_EQ(dialog.parentWidget(), &owner);
            seen(dialog);
        });
        return token::helper_show_cert_ui(&owner, der.data(), int32_t(der.size()));
    }
    static QString label(ui::CertViewerDialog& dialog, const char* name) {
        auto* value = dialog.findChild<QLabel*>(QString::fromLatin1(name));
        return value ? value->text() : QStringLiteral("<missing %1>").arg(QLatin1String(name));
    }

    ui::ScriptedMessageService messages;
    QWidget owner;
    int shown = 0;
};

TEST_F(CertViewerTest, ShowsEveryFieldOfAnRsaCertificateInChinese) {
    const auto credential = quillard::demo::makeSelfSignedCredential(KeyType::Rsa2048, "张三");
    const std::vector<uint8_t> der = withExtendedKeyUsage(credential);
    const int32_t result = show(der, [&](ui::CertViewerDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("证书"));
        EXPECT_TRUE(dialog.fieldText(Field::Subject).contains(QStringLiteral("CN = 张三")))
            << dialog.fieldText(Field::Subject).toStdString();
        EXPECT_EQ(dialog.fieldText(Field::Issuer), dialog.fieldText(Field::Subject)) << "self-signed";
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9A-F]{2}(:[0-9A-F]{2})*$"))
                        .match(dialog.fieldText(Field::Serial))
                        .hasMatch());
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d UTC$"))
                        .match(dialog.fieldText(Field::ValidTo))
                        .hasMatch());
        EXPECT_LT(dialog.fieldText(Field::ValidFrom), dialog.fieldText(Field::ValidTo));
        EXPECT_EQ(dialog.fieldText(Field::PublicKey), QStringLiteral("RSA（2048 位）"));
        EXPECT_EQ(dialog.fieldText(Field::KeyUsage), QStringLiteral("Digital Signature, Key Encipherment"));
        EXPECT_EQ(dialog.fieldText(Field::ExtendedKeyUsage),
                  QStringLiteral("TLS Web Client Authentication, E-mail Protection"));
        EXPECT_EQ(dialog.fieldText(Field::Sha1), colonFingerprint(der, QCryptographicHash::Sha1));
        EXPECT_EQ(dialog.fieldText(Field::Sha256), colonFingerprint(der, QCryptographicHash::Sha256));
        EXPECT_TRUE(dialog.fieldText(Field::Details).contains(QStringLiteral("X509v3 Extended Key Usage")));
        EXPECT_TRUE(dialog.fieldText(Field::Details).contains(QStringLiteral("Subject: CN = 张三, O = ")));
        EXPECT_EQ(label(dialog, "valueIssuer"), dialog.fieldText(Field::Issuer));
        EXPECT_EQ(label(dialog, "valueSha256").count(QLatin1Char('\n')), 1) << "shown on two lines";

        const QString pem = dialog.fieldText(Field::Pem);
        EXPECT_TRUE(pem.startsWith(QStringLiteral("-----BEGIN CERTIFICATE-----\n")));
        EXPECT_TRUE(pem.endsWith(QStringLiteral("-----END CERTIFICATE-----\n")));
        QGuiApplication::clipboard()->clear();
        dialog.findChild<QTabWidget*>(QStringLiteral("tabs"))->setCurrentIndex(2);
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("btnCopyPem")), Qt::LeftButton);
        EXPECT_EQ(QGuiApplication::clipboard()->text(), pem);
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(shown, 1);
    EXPECT_TRUE(messages.messages().isEmpty());
}

TEST_F(CertViewerTest, EnglishTextsFollowTheLoadedLanguage) {
    i18n::LoadLanguageFile(QStringLiteral(PELLORZU_SOURCE_DIR "/Languages/EN_1033.lng"));
    const auto credential = quillard::demo::makeSelfSignedCredential(KeyType::EcP256, "Bob");
    show(credential.certificateDer, [&](ui::CertViewerDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Certificate"));
        EXPECT_EQ(dialog.fieldText(Field::PublicKey), QStringLiteral("EC P-256 (256 bits)"));
        EXPECT_EQ(label(dialog, "valueExtendedKeyUsage"), QStringLiteral("(none)"));
        const auto* tabs = dialog.findChild<QTabWidget*>(QStringLiteral("tabs"));
        EXPECT_EQ(tabs->tabText(1), QStringLiteral("Details"));
        EXPECT_EQ(dialog.findChild<QPushButton*>(QStringLiteral("btnClose"))->text(), QStringLiteral("OK"));
    });
    EXPECT_EQ(shown, 1);
}

TEST_F(CertViewerTest, BytesThatAreNoCertificateGiveAMessageInsteadOfTheDialog) {
    const auto credential = quillard::demo::makeSelfSignedCredential(KeyType::EcP256, "Bob");
    std::vector<uint8_t> cut(credential.certificateDer.begin(), credential.certificateDer.end() - 10);
    const std::vector<uint8_t> garbage{0x30, 0x03, 0x02, 0x01, 0x05};
    for (const auto& bytes : {cut, garbage})
        EXPECT_NE(show(bytes, [](ui::CertViewerDialog&) {}), 0);
    EXPECT_EQ(shown, 0);
    EXPECT_EQ(messages.messageTexts(), QStringList(2, QStringLiteral("无法显示证书：数据不是有效的证书。")));
    ASSERT_EQ(messages.messages().size(), 2);
    EXPECT_EQ(messages.messages()[0].owner, &owner);
}

} // namespace
