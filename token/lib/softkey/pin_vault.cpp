#include "pin_vault.h"

#include "aes_gcm.h"
#include "softkey_error.h"
#include "token/lib/openssl_handles.h"
#include "token/lib/openssl_providers.h"

#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/kdf.h>
#include <openssl/params.h>
#include <openssl/rand.h>

#include <string_view>

namespace quillard::softkey {

namespace {

std::string_view wrappingPurpose(PinKind kind) {
    return kind == PinKind::User ? "master key under the user PIN" : "master key under the SO PIN";
}

void fillRandom(uint8_t* data, std::size_t size) {
    if (RAND_bytes_ex(libraryContext(), data, size, 0) != 1)
        throw SoftkeyError(QR_GENERAL_ERROR, "no random bytes");
}

void expand(const SecureBytes& secret, std::string_view purpose, uint8_t* out) {
    std::size_t length = 0;
    if (!EVP_Q_mac(libraryContext(), "HMAC", nullptr, "SHA256", nullptr, secret.data(), secret.size(),
                   reinterpret_cast<const unsigned char*>(purpose.data()), purpose.size(), out,
                   PinVault::kHalfSize, &length) ||
        length != PinVault::kHalfSize)
        throw SoftkeyError(QR_GENERAL_ERROR, "HMAC failed");
}

// PBKDF2 with HMAC-SHA256 into `out`, as PKCS#5 defines it: the key files' short test salts and iteration
// counts are kept, so the provider's lower bounds are switched off.
bool pbkdf2Sha256(const SecureString& pin, const std::vector<uint8_t>& salt, int iterations,
                  SecureBytes& out) {
    OpenSslPtr<EVP_KDF, EVP_KDF_free> kdf(EVP_KDF_fetch(libraryContext(), "PBKDF2", nullptr));
    OpenSslPtr<EVP_KDF_CTX, EVP_KDF_CTX_free> context(kdf ? EVP_KDF_CTX_new(kdf.get()) : nullptr);
    if (!context || iterations <= 0)
        return false;
    uint64_t rounds = static_cast<uint64_t>(iterations);
    int pkcs5 = 1;
    char digest[] = "SHA256";
    const OSSL_PARAM params[] = {OSSL_PARAM_construct_octet_string(
                                     OSSL_KDF_PARAM_PASSWORD, const_cast<char*>(pin.c_str()), pin.size()),
                                 OSSL_PARAM_construct_octet_string(
                                     OSSL_KDF_PARAM_SALT, const_cast<uint8_t*>(salt.data()), salt.size()),
                                 OSSL_PARAM_construct_uint64(OSSL_KDF_PARAM_ITER, &rounds),
                                 OSSL_PARAM_construct_utf8_string(OSSL_KDF_PARAM_DIGEST, digest, 0),
                                 OSSL_PARAM_construct_int(OSSL_KDF_PARAM_PKCS5, &pkcs5),
                                 OSSL_PARAM_construct_end()};
    return EVP_KDF_derive(context.get(), out.data(), out.size(), params) == 1;
}

// The KEK half of a derivation, as a key of its own.
SecureBytes keyHalf(const SecureBytes& derived) {
    return SecureBytes(derived.begin() + PinVault::kHalfSize, derived.end());
}

} // namespace

SecureBytes PinVault::newMasterKey() {
    SecureBytes key(AesGcm::kKeySize);
    fillRandom(key.data(), key.size());
    return key;
}

SecureBytes PinVault::derive(const SecureString& pin, const std::vector<uint8_t>& salt) const {
    SecureBytes secret(kHalfSize);
    if (!pbkdf2Sha256(pin, salt, iterations_, secret))
        throw SoftkeyError(QR_GENERAL_ERROR, "PBKDF2 failed");
    // One PBKDF2 block, split by HMAC into two independent halves: whoever tests PINs against the stored
    // verifier pays exactly what a right PIN costs the key, and the verifier tells nothing about the KEK.
    SecureBytes derived(2 * kHalfSize);
    expand(secret, "verifier", derived.data());
    expand(secret, "key-encryption key", derived.data() + kHalfSize);
    return derived;
}

PinRecord PinVault::seal(PinKind kind, const SecureString& pin, const PinPolicy& policy,
                         const SecureBytes& masterKey) const {
    PinRecord record;
    record.policy = policy;
    record.retriesLeft = policy.maxRetries;
    record.salt.resize(kSaltSize);
    fillRandom(record.salt.data(), record.salt.size());
    SecureBytes derived = derive(pin, record.salt);
    record.verifier.assign(derived.begin(), derived.begin() + kHalfSize);
    record.wrappedMasterKey =
        AesGcm::seal(keyHalf(derived), masterKey.data(), masterKey.size(), wrappingPurpose(kind));
    return record;
}

bool PinVault::open(PinKind kind, const SecureString& pin, const PinRecord& record,
                    SecureBytes& masterKey) const {
    SecureBytes derived = derive(pin, record.salt);
    if (record.verifier.size() != kHalfSize ||
        CRYPTO_memcmp(derived.data(), record.verifier.data(), kHalfSize) != 0)
        return false;
    if (!AesGcm::open(keyHalf(derived), record.wrappedMasterKey, wrappingPurpose(kind), masterKey))
        throw SoftkeyError(QR_DEVICE_ERROR, "the sealed master key is damaged");
    return true;
}

} // namespace quillard::softkey
