// The certificate viewer that libquillard's helper_show_cert_ui opens: a modal dialog of the owning window
// with the certificate's names, serial, validity, key, usages and fingerprints, OpenSSL's full print-out and
// the PEM text with a button that copies it.
#pragma once

#include <QDialog>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

class QFormLayout;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace ui {

class CertViewerDialog : public QDialog {
    Q_OBJECT
public:
    enum class Field {
        Subject,
        Issuer,
        Serial,
        ValidFrom,
        ValidTo,
        PublicKey,
        KeyUsage,
        ExtendedKeyUsage,
        Sha1,
        Sha256,
        Details,
        Pem,
    };
    static constexpr std::size_t kFieldCount = std::size_t(Field::Pem) + 1;
    using Texts = std::array<QString, kFieldCount>;

    // The texts of a DER certificate as the dialog shows them; nothing when the bytes are no certificate.
    static std::optional<Texts> readTexts(const uint8_t* cert, int32_t length);

    // Shows the certificate modally over `owner`; a certificate that does not parse gets a message instead.
    // 0 when the dialog was shown.
    static int32_t showCertificate(QWidget* owner, const uint8_t* cert, int32_t length);

    // The certificate's health as the general tab shows it: its state with end date and days left, and its
    // chain; empty texts leave the rows out.
    struct HealthTexts {
        QString status;
        QString chain;
    };
    // The health of a DER certificate judged with the window's warning window and the certificates of the key
    // shown in the tree; empty texts when its dates cannot be read.
    static HealthTexts readHealth(const uint8_t* cert, int32_t length);

    CertViewerDialog(QWidget* owner, const Texts& texts, const HealthTexts& health = {});

    // What the dialog shows for `field`.
    QString fieldText(Field field) const { return texts_[std::size_t(field)]; }

    // Tests: when set, showCertificate shows the dialog, calls the hook and closes it, without an event loop.
    static void setShownHook(std::function<void(CertViewerDialog&)> hook);

private:
    QWidget* buildGeneralTab();
    QWidget* buildTextTab(const char* name, Field field, QPushButton* extraButton);
    void copyPem();

    void addHealthRows(QFormLayout* form, QWidget* page);

    Texts texts_;
    HealthTexts health_;
    QTabWidget* tabs_;
};

// Registers the viewer as the library's certificate display handler; the owner the library hands over is the
// owning QWidget*.
void registerCertificateViewer();

} // namespace ui
