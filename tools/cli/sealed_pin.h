// A sealed PIN taken apart for a recovery key that cannot be handed to OpenSSL, such as one on a token: the
// encrypted content keys of its key-transport recipients, decrypted elsewhere; the key-agreement (ECDH)
// recipients, whose shared secret is agreed elsewhere and whose content key is then unwrapped here; and the
// AES-256-GCM content, opened here with the content key they give.
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

    // One key-agreement recipient: the sender's one-time public point, and what turns the secret agreed
    // with it into the key that unwraps the content key (X9.63 with the scheme's digest, AES key wrap).
    struct Agreement {
        QByteArray originatorPoint; // uncompressed, as the sender's public key holds it
        QByteArray kdfDigest;       // an OpenSSL digest name: SHA1, SHA224, SHA256, SHA384 or SHA512
        QByteArray wrapAlgorithm;   // the DER of the key wrap's AlgorithmIdentifier, part of the KDF's input
        int wrapKeyBytes = 0;       // 16, 24 or 32
        QByteArray userKeyingMaterial;
        std::vector<QByteArray> encryptedKeys; // one per recipient key named
    };

    // A Failure when `sealed` is not authenticated enveloped data with AES-256-GCM content.
    explicit SealedPin(const QByteArray& sealed);

    // The key-transport recipients, in the order of the data.
    const std::vector<Recipient>& recipients() const { return recipients_; }
    // The key-agreement recipients this program can open (ECDH with an X9.63 KDF and AES key wrap).
    const std::vector<Agreement>& agreements() const { return agreements_; }
    // The content key `agreement`'s `encryptedKey` holds, unwrapped with the key derived from `sharedSecret`
    // (the x coordinate of the agreed point); empty when it does not unwrap (another recipient's).
    static platform::SecretBytes unwrapAgreed(const Agreement& agreement, const QByteArray& encryptedKey,
                                              const platform::SecretBytes& sharedSecret);
    // The PIN; a Failure when `contentKey` does not open the content (a wrong key, altered data).
    platform::SecretBytes open(const platform::SecretBytes& contentKey) const;

private:
    std::vector<Recipient> recipients_;
    std::vector<Agreement> agreements_;
    QByteArray nonce_;
    QByteArray encrypted_;
    QByteArray tag_;
    QByteArray authenticatedAttributes_; // as a SET, the additional data of the GCM tag
};

} // namespace cli
