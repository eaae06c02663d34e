// The import dialog: the certificate file and its password, the target container (a new one, typed or with a
// random name, or an existing one) and the key usage. OK closes it only after the file exists and, for a
// PKCS#12 file, the library opened it with the password and found a key pair in it.
#pragma once

#include "platform/secret_bytes.h"
#include "token/flows/import_preparation.h"

#include <QDialog>
#include <cstdint>
#include <functional>
#include <string>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace ui {

class TIMForm : public QDialog {
    Q_OBJECT
public:
    // A dialog of the owner's window, centred on it; `rb1` checked, `rb3` checked, the container list empty.
    explicit TIMForm(QWidget* owner);

    // Every control, with the object name of its member.
    QGroupBox* GroupBox3;
    QLineEdit* edtPath;
    QPushButton* btnpath;
    QLabel* Label2;
    QLineEdit* edtpwd;
    QLabel* Label1;
    QGroupBox* GroupBox1;
    QRadioButton* rb1;
    QPushButton* btnRandom;
    QLineEdit* edtContname;
    QRadioButton* rb2;
    QComboBox* cbContName;
    QGroupBox* GroupBox2;
    QRadioButton* rb3;
    QRadioButton* rb4;
    QPushButton* btnOK;
    QPushButton* btnNO;

    int32_t importKind = 0; // 0 PKCS#12 file, 1 X.509 certificate file (extension ".cer", ".crt" or ".pem")
    int32_t entryCount = 0; // key/certificate pairs found by pkcs12_file_parse

    // The rules of the two container buttons. setChecked emits no click, so whoever checks one in code runs
    // its rule.
    void rb1Click();
    void rb2Click();
    // The steps of choosing a file, for a browsed and a dropped file alike.
    void chooseFile(const QString& path);

    // Runs the show steps (texts, then states), then the test hook when one is set, else the dialog's loop.
    int exec() override;

    // Tests: called with the shown dialog instead of its event loop; the hook fills fields and clicks
    // buttons, and exec() returns the result it left (Rejected when nothing closed the dialog).
    static void setShownHook(std::function<void(TIMForm&)> hook);

    // How OK checks a PKCS#12 file (8-bit path) with its password. The window gives one that runs the check
    // through the key operation runner; without one the dialog calls the check itself.
    using Pkcs12Checker = std::function<token::flows::Pkcs12Check(const std::string& path,
                                                                  const platform::SecretBytes& password)>;
    void setPkcs12Checker(Pkcs12Checker checker) { pkcs12Checker_ = std::move(checker); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void connectControls();
    void applyTexts();
    void applyStartStates();
    bool shownBefore_ = false;
    void setPasswordEnabled(bool enabled);
    void showPasswordLength();
    void btnpathClick();
    void btnRandomClick();
    void btnOKClick();
    // The checks of OK for the file: false after showing why it cannot be imported.
    bool fileAccepted();
    bool pkcs12Accepted(const QString& path);
    bool dropFiles(QEvent* event);

    Pkcs12Checker pkcs12Checker_;
};

// True when `path` names an X.509 certificate file: its extension is ".cer" in exactly this case.
bool isX509CertificateFile(const QString& path);

} // namespace ui
