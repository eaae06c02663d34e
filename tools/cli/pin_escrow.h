// SO PINs kept only in sealed form: CMS enveloped data (AES-256-GCM content, the content key for the recovery
// certificate's key by RSA-OAEP with SHA-256 or by ECDH), which only the holder of the recovery key opens.
#pragma once

#include "platform/secret_bytes.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

typedef struct x509_st X509;
typedef struct evp_pkey_st EVP_PKEY;

namespace cli {

// The certificate PINs are sealed to, read from a PEM (or DER) file.
class RecoveryCertificate {
public:
    // A Failure when the file is missing, is no certificate, or holds a key that can be neither an RSA nor an
    // EC recipient.
    explicit RecoveryCertificate(const QString& path);
    ~RecoveryCertificate();
    RecoveryCertificate(const RecoveryCertificate&) = delete;
    RecoveryCertificate& operator=(const RecoveryCertificate&) = delete;

    // The DER of the enveloped data holding `secret`.
    QByteArray seal(const platform::SecretBytes& secret) const;

private:
    X509* certificate_ = nullptr;
};

// The private key that opens sealed PINs: a PEM file, asked for its pass phrase through `passPhrase` only
// when it is encrypted.
class RecoveryKey {
public:
    RecoveryKey(const QString& path, const std::function<platform::SecretBytes()>& passPhrase);
    ~RecoveryKey();
    RecoveryKey(const RecoveryKey&) = delete;
    RecoveryKey& operator=(const RecoveryKey&) = delete;

    // The secret inside `sealed`; a Failure when this key is not its recipient or the data was altered.
    platform::SecretBytes open(const QByteArray& sealed) const;

private:
    EVP_PKEY* key_ = nullptr;
};

} // namespace cli
