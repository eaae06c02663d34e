#include "aes_gcm.h"

#include "softkey_error.h"
#include "token/lib/openssl_handles.h"
#include "token/lib/openssl_providers.h"

#include <openssl/rand.h>

namespace quillard::softkey {

namespace {

using CipherContextPtr = OpenSslPtr<EVP_CIPHER_CTX, EVP_CIPHER_CTX_free>;

CipherContextPtr newContext(const SecureBytes& key, const uint8_t* iv, bool encrypt) {
    if (key.size() != AesGcm::kKeySize)
        throw SoftkeyError(QR_GENERAL_ERROR, "an AES-256 key must be 32 bytes");
    CipherContextPtr context(EVP_CIPHER_CTX_new());
    // The context keeps its own reference to the cipher fetched.
    OpenSslPtr<EVP_CIPHER, EVP_CIPHER_free> cipher(
        EVP_CIPHER_fetch(libraryContext(), "AES-256-GCM", nullptr));
    if (!context || !cipher ||
        EVP_CipherInit_ex(context.get(), cipher.get(), nullptr, key.data(), iv, encrypt ? 1 : 0) != 1)
        throw SoftkeyError(QR_GENERAL_ERROR, "cannot set up AES-256-GCM");
    return context;
}

bool addAssociated(EVP_CIPHER_CTX* context, std::string_view associated) {
    int ignored = 0;
    return EVP_CipherUpdate(context, nullptr, &ignored, reinterpret_cast<const uint8_t*>(associated.data()),
                            static_cast<int>(associated.size())) == 1;
}

} // namespace

std::vector<uint8_t> AesGcm::seal(const SecureBytes& key, const uint8_t* plain, std::size_t size,
                                  std::string_view associated) {
    std::vector<uint8_t> sealed(kIvSize + size + kTagSize);
    if (RAND_bytes_ex(libraryContext(), sealed.data(), kIvSize, 0) != 1)
        throw SoftkeyError(QR_GENERAL_ERROR, "no random bytes for an IV");
    CipherContextPtr context = newContext(key, sealed.data(), true);
    int written = 0;
    int finalWritten = 0;
    if (!addAssociated(context.get(), associated) ||
        EVP_EncryptUpdate(context.get(), sealed.data() + kIvSize, &written, plain, static_cast<int>(size)) !=
            1 ||
        EVP_EncryptFinal_ex(context.get(), sealed.data() + kIvSize + written, &finalWritten) != 1 ||
        EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_GCM_GET_TAG, static_cast<int>(kTagSize),
                            sealed.data() + kIvSize + size) != 1)
        throw SoftkeyError(QR_GENERAL_ERROR, "AES-256-GCM encryption failed");
    return sealed;
}

bool AesGcm::open(const SecureBytes& key, const std::vector<uint8_t>& sealed, std::string_view associated,
                  SecureBytes& plain) {
    if (sealed.size() < kOverhead)
        return false;
    const std::size_t size = sealed.size() - kOverhead;
    CipherContextPtr context = newContext(key, sealed.data(), false);
    SecureBytes output(size + 1); // one spare byte, so data() is never null for an empty text
    std::vector<uint8_t> tag(sealed.end() - kTagSize, sealed.end());
    int written = 0;
    int finalWritten = 0;
    bool authentic = addAssociated(context.get(), associated) &&
                     EVP_DecryptUpdate(context.get(), output.data(), &written, sealed.data() + kIvSize,
                                       static_cast<int>(size)) == 1 &&
                     EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_GCM_SET_TAG, static_cast<int>(kTagSize),
                                         tag.data()) == 1 &&
                     EVP_DecryptFinal_ex(context.get(), output.data() + written, &finalWritten) == 1;
    if (!authentic)
        return false;
    output.resize(size);
    plain = std::move(output);
    return true;
}

} // namespace quillard::softkey
