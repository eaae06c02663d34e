// The recovery key as a private key on a token, named by a PKCS#11 URI. For an RSA key the sealed PIN's
// content key is decrypted on the token (C_Decrypt with RSA-OAEP); for an EC key the secret shared with the
// sender's one-time key is agreed on the token (C_DeriveKey with ECDH) and the content key unwrapped here.
// The rest of the opening is done here; the private key never leaves the token. The module is the URI's
// module-path or module-name, or else the program's own module over the virtual keys.
#pragma once

#include "pkcs11_uri.h"
#include "platform/secret_bytes.h"

#include <QByteArray>
#include <functional>

namespace cli {

class TokenRecoveryKey {
public:
    // `userPin` is asked for once the token is found, and wiped after the login.
    TokenRecoveryKey(const QString& uri, std::function<platform::SecretBytes()> userPin);

    // The secret inside `sealed`: loads the module, logs in, decrypts and logs out again. A Failure when the
    // token or its key is not found, the PIN is refused, or the key is not a recipient of `sealed`.
    platform::SecretBytes open(const QByteArray& sealed) const;

private:
    QString text_;
    Pkcs11Uri uri_;
    std::function<platform::SecretBytes()> userPin_;
};

} // namespace cli
