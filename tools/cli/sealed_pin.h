// A sealed PIN taken apart for a recovery key that cannot be handed to OpenSSL, such as one on a token: the
// encrypted content keys of its key-transport recipients, decrypted elsewhere, and the AES-256-GCM content,
// opened here with the content key they give.
#pragma once

#include "platform/secret_bytes.h"

#include <QByteArray>
#include <vector>

namespace cli {

class SealedPin {
public:
    // How one recipient's content key was encrypted: RSA-OAEP with SHA-256 (as this program seals) or
    // RSA PKCS#1 v1.5.
    enum class Transport { RsaOaepSha256, RsaPkcs1 };
    struct Recipient {
        Transport transport;
        QByteArray encryptedKey;
    };

    // A Failure when `sealed` is not authenticated enveloped data with AES-256-GCM content.
    explicit SealedPin(const QByteArray& sealed);

    // The key-transport recipients, in the order of the data; others (ECDH agreement) are left out.
    const std::vector<Recipient>& recipients() const { return recipients_; }
    // The PIN; a Failure when `contentKey` does not open the content (a wrong key, altered data).
    platform::SecretBytes open(const platform::SecretBytes& contentKey) const;

private:
    std::vector<Recipient> recipients_;
    QByteArray nonce_;
    QByteArray encrypted_;
    QByteArray tag_;
    QByteArray authenticatedAttributes_; // as a SET, the additional data of the GCM tag
};

} // namespace cli
