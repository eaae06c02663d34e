#include "pin_vault.h"

#include "aes_gcm.h"
#include "softkey_error.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <string_view>

namespace quillard::softkey {

namespace {

std::string_view wrappingPurpose(PinKind kind) {
    return kind == PinKind::User ? "master key under the user PIN" : "master key under the SO PIN";
}

void fillRandom(uint8_t* data, std::size_t size) {
    if (RAND_bytes(data, static_cast<int>(size)) != 1)
        throw SoftkeyError(QR_GENERAL_ERROR, "no random bytes");
}

void expand(const SecureBytes& secret, std::string_view purpose, uint8_t* out) {
    unsigned int length = 0;
    if (!HMAC(EVP_sha256(), secret.data(), static_cast<int>(secret.size()),
              reinterpret_cast<const unsigned char*>(purpose.data()), purpose.size(), out, &length) ||
        length != PinVault::kHalfSize)
        throw SoftkeyError(QR_GENERAL_ERROR, "HMAC failed");
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
    if (PKCS5_PBKDF2_HMAC(pin.c_str(), static_cast<int>(pin.size()), salt.data(),
                          static_cast<int>(salt.size()), iterations_, EVP_sha256(),
                          static_cast<int>(secret.size()), secret.data()) != 1)
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
