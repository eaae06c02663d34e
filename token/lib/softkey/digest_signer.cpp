#include "digest_signer.h"

#include "token/lib/openssl_providers.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>

namespace quillard::softkey {

namespace {

using MessageDigestPtr = OpenSslPtr<EVP_MD, EVP_MD_free>;

bool prepare(EVP_PKEY_CTX* context, EVP_PKEY* key, const EVP_MD* md) {
    if (EVP_PKEY_sign_init(context) <= 0 || EVP_PKEY_CTX_set_signature_md(context, md) <= 0)
        return false;
    return !EVP_PKEY_is_a(key, "RSA") || EVP_PKEY_CTX_set_rsa_padding(context, RSA_PKCS1_PADDING) > 0;
}

} // namespace

Result signDigestWith(EVP_PKEY* key, const std::string& digest, const std::vector<uint8_t>& hash,
                      std::vector<uint8_t>& signature) {
    MessageDigestPtr md(EVP_MD_fetch(libraryContext(), digest.c_str(), nullptr));
    if (!key || !md || hash.size() != static_cast<std::size_t>(EVP_MD_get_size(md.get())) ||
        !(EVP_PKEY_is_a(key, "RSA") || EVP_PKEY_is_a(key, "EC"))) {
        ERR_clear_error();
        return QR_ARGUMENTS_BAD;
    }
    PkeyContextPtr context(EVP_PKEY_CTX_new_from_pkey(libraryContext(), key, nullptr));
    std::size_t length = 0;
    if (!context || !prepare(context.get(), key, md.get()) ||
        EVP_PKEY_sign(context.get(), nullptr, &length, hash.data(), hash.size()) <= 0) {
        ERR_clear_error();
        return QR_GENERAL_ERROR;
    }
    std::vector<uint8_t> out(length);
    if (EVP_PKEY_sign(context.get(), out.data(), &length, hash.data(), hash.size()) <= 0) {
        ERR_clear_error();
        return QR_GENERAL_ERROR;
    }
    out.resize(length);
    signature = std::move(out);
    return QR_OK;
}

} // namespace quillard::softkey
