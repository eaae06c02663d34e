#include "decrypt_operation.h"

#include "module_error.h"
#include "token/lib/openssl_providers.h"

#include <openssl/crypto.h>
#include <openssl/rsa.h>

namespace quillard::module {

namespace {} // namespace

DecryptOperation::DecryptOperation(const Mechanism& mechanism, const CK_MECHANISM& parameters, EvpPkeyPtr key)
    : mechanism_(mechanism), key_(std::move(key)) {
    if (!EVP_PKEY_is_a(key_.get(), "RSA"))
        fail(CKR_KEY_TYPE_INCONSISTENT);
    if (mechanism.family == Mechanism::Family::RsaOaep)
        readOaepParameters(parameters);
    else if (parameters.ulParameterLen != 0)
        fail(CKR_MECHANISM_PARAM_INVALID);
}

void DecryptOperation::readOaepParameters(const CK_MECHANISM& parameters) {
    if (!parameters.pParameter || parameters.ulParameterLen != sizeof(CK_RSA_PKCS_OAEP_PARAMS))
        fail(CKR_MECHANISM_PARAM_INVALID);
    const auto* oaep = static_cast<const CK_RSA_PKCS_OAEP_PARAMS*>(parameters.pParameter);
    oaepDigest_ = MechanismTable::digestOf(oaep->hashAlg);
    oaepMgf_ = MechanismTable::mgfDigestOf(oaep->mgf);
    if (!oaepDigest_ || !oaepMgf_)
        fail(CKR_MECHANISM_PARAM_INVALID);
    if (oaep->source == CKZ_DATA_SPECIFIED && oaep->pSourceData && oaep->ulSourceDataLen) {
        const auto* label = static_cast<const uint8_t*>(oaep->pSourceData);
        oaepLabel_.assign(label, label + oaep->ulSourceDataLen);
    } else if (oaep->source != 0 && oaep->source != CKZ_DATA_SPECIFIED) {
        fail(CKR_MECHANISM_PARAM_INVALID);
    }
}

void DecryptOperation::update(const uint8_t* data, std::size_t size) {
    if (size)
        data_.insert(data_.end(), data, data + size);
}

SecureBytes DecryptOperation::decrypt() const {
    if (data_.size() != maxPlainLength())
        fail(CKR_ENCRYPTED_DATA_LEN_RANGE);
    PkeyContextPtr context(EVP_PKEY_CTX_new_from_pkey(libraryContext(), key_.get(), nullptr));
    if (!context || EVP_PKEY_decrypt_init(context.get()) <= 0)
        fail(CKR_GENERAL_ERROR);
    bool set = true;
    if (oaepDigest_) {
        set = EVP_PKEY_CTX_set_rsa_padding(context.get(), RSA_PKCS1_OAEP_PADDING) > 0 &&
              EVP_PKEY_CTX_set_rsa_oaep_md(context.get(), oaepDigest_) > 0 &&
              EVP_PKEY_CTX_set_rsa_mgf1_md(context.get(), oaepMgf_) > 0;
        if (set && !oaepLabel_.empty()) {
            // OpenSSL takes the label over and frees it.
            void* label = OPENSSL_memdup(oaepLabel_.data(), oaepLabel_.size());
            set = label && EVP_PKEY_CTX_set0_rsa_oaep_label(context.get(), label,
                                                            static_cast<int>(oaepLabel_.size())) > 0;
            if (!set)
                OPENSSL_free(label);
        }
    } else {
        set = EVP_PKEY_CTX_set_rsa_padding(context.get(), RSA_PKCS1_PADDING) > 0;
    }
    if (!set)
        fail(CKR_MECHANISM_PARAM_INVALID);
    SecureBytes plain(maxPlainLength());
    std::size_t length = plain.size();
    if (EVP_PKEY_decrypt(context.get(), plain.data(), &length, data_.data(), data_.size()) <= 0)
        fail(CKR_ENCRYPTED_DATA_INVALID);
    plain.resize(length);
    return plain;
}

} // namespace quillard::module
