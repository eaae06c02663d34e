// Installing an issued certificate from the certificate page (TabSheet5): btnInstallCert takes a certificate
// file and puts its certificate beside the key pair on the current key whose public key it carries.
#pragma once

#include <QObject>
#include <cstdint>

namespace ui {

class CertificatesPage;
class KeyOperationRunner;

class CertInstallHandler : public QObject {
    Q_OBJECT
public:
    // Connects btnInstallCert.
    CertInstallHandler(CertificatesPage& page, KeyOperationRunner& runner, QObject* parent);

    // Asks for the file and installs its certificate on the current key, which is logged in.
    void installCertificate();

signals:
    // The certificates of `key` changed: its tree wants rebuilding.
    void certificatesChanged(int32_t key);

private:
    CertificatesPage& page_;
    KeyOperationRunner& runner_;
};

} // namespace ui
