#include "signature_operation.h"

#include "ecdsa_signature.h"
#include "module_error.h"
#include "token/lib/openssl_providers.h"

#include <openssl/rsa.h>

namespace quillard::module {

namespace {

using Family = Mechanism::Family;

bool isEc(const EVP_PKEY* key) {
    return EVP_PKEY_is_a(key, "EC");
}

} // namespace

SignatureOperation::SignatureOperation(const Mechanism& mechanism, const CK_MECHANISM& parameters,
                                       EvpPkeyPtr key)
    : mechanism_(mechanism), key_(std::move(key)), type_(parameters.mechanism),
      hasParameters_(parameters.ulParameterLen != 0), isEc_(isEc(key_.get())) {
    if ((mechanism.family == Family::Ecdsa) != isEc_)
        fail(CKR_KEY_TYPE_INCONSISTENT);
    if (mechanism.family == Family::RsaPss)
        readPssParameters(parameters);
    else if (parameters.ulParameterLen != 0)
        fail(CKR_MECHANISM_PARAM_INVALID);
}

SignatureOperation::SignatureOperation(const Mechanism& mechanism, const CK_MECHANISM& parameters,
                                       EvpPkeyPtr key, std::optional<KeptSigningContext>& kept)
    : SignatureOperation(mechanism, parameters, std::move(key)) {
    if (kept && !hasParameters_ && kept->key.get() == key_.get() && kept->mechanism == type_) {
        signing_ = std::move(kept->context);
        kept.reset();
    }
}

void SignatureOperation::keepSigningContext(std::optional<KeptSigningContext>& kept) {
    if (hasParameters_ || !signing_ || EVP_PKEY_up_ref(key_.get()) != 1)
        return;
    kept = KeptSigningContext{EvpPkeyPtr(key_.get()), type_, std::move(signing_)};
}

void SignatureOperation::readPssParameters(const CK_MECHANISM& parameters) {
    if (!parameters.pParameter || parameters.ulParameterLen != sizeof(CK_RSA_PKCS_PSS_PARAMS))
        fail(CKR_MECHANISM_PARAM_INVALID);
    const auto* pss = static_cast<const CK_RSA_PKCS_PSS_PARAMS*>(parameters.pParameter);
    pssDigest_ = MechanismTable::digestOf(pss->hashAlg);
    pssMgf_ = MechanismTable::mgfDigestOf(pss->mgf);
    // The hash of a SHAn_RSA_PKCS_PSS mechanism is the one its name says.
    const bool hashMatches = !mechanism_.digest || (pssDigest_ && EVP_MD_is_a(pssDigest_, mechanism_.digest));
    if (!pssDigest_ || !pssMgf_ || !hashMatches ||
        pss->sLen > static_cast<CK_ULONG>(EVP_PKEY_get_size(key_.get())))
        fail(CKR_MECHANISM_PARAM_INVALID);
    pssSaltLength_ = static_cast<int>(pss->sLen);
}

void SignatureOperation::update(const uint8_t* data, std::size_t size) {
    if (size)
        data_.insert(data_.end(), data, data + size);
}

std::size_t SignatureOperation::signatureLength() const {
    if (isEc_)
        return 2 * static_cast<std::size_t>((EVP_PKEY_get_bits(key_.get()) + 7) / 8);
    return static_cast<std::size_t>(EVP_PKEY_get_size(key_.get()));
}

std::span<const uint8_t> SignatureOperation::toBeSigned(Digest& digest) const {
    if (!mechanism_.digest) {
        if (mechanism_.family == Family::RsaPss &&
            data_.size() != static_cast<std::size_t>(EVP_MD_get_size(pssDigest_)))
            fail(CKR_DATA_LEN_RANGE);
        return data_;
    }
    std::size_t length = 0;
    if (!EVP_Q_digest(libraryContext(), mechanism_.digest, nullptr, data_.data(), data_.size(), digest.data(),
                      &length))
        fail(CKR_GENERAL_ERROR);
    return {digest.data(), length};
}

PkeyContextPtr SignatureOperation::context(bool signing) const {
    PkeyContextPtr context(EVP_PKEY_CTX_new_from_pkey(libraryContext(), key_.get(), nullptr));
    if (!context || (signing ? EVP_PKEY_sign_init(context.get()) : EVP_PKEY_verify_init(context.get())) <= 0)
        fail(CKR_GENERAL_ERROR);
    bool set = true;
    if (mechanism_.family == Family::RsaPkcs) {
        set = EVP_PKEY_CTX_set_rsa_padding(context.get(), RSA_PKCS1_PADDING) > 0;
        // With a digest OpenSSL builds the DigestInfo; without one the caller's bytes are padded as they are.
        if (set && mechanism_.digest)
            set = EVP_PKEY_CTX_set_signature_md(context.get(), EVP_get_digestbyname(mechanism_.digest)) > 0;
    } else if (mechanism_.family == Family::RsaPss) {
        set = EVP_PKEY_CTX_set_rsa_padding(context.get(), RSA_PKCS1_PSS_PADDING) > 0 &&
              EVP_PKEY_CTX_set_signature_md(context.get(), pssDigest_) > 0 &&
              EVP_PKEY_CTX_set_rsa_mgf1_md(context.get(), pssMgf_) > 0 &&
              EVP_PKEY_CTX_set_rsa_pss_saltlen(context.get(), pssSaltLength_) > 0;
    }
    if (!set)
        fail(CKR_MECHANISM_PARAM_INVALID);
    return context;
}

std::vector<uint8_t> SignatureOperation::sign() {
    Digest digest;
    const std::span<const uint8_t> input = toBeSigned(digest);
    if (!signing_)
        signing_ = context(true);
    // Room for the longest signature of the key (for ECDSA, its DER form), so one call signs.
    std::vector<uint8_t> signature(static_cast<std::size_t>(EVP_PKEY_get_size(key_.get())));
    std::size_t length = signature.size();
    if (EVP_PKEY_sign(signing_.get(), signature.data(), &length, input.data(), input.size()) <= 0)
        // The only input OpenSSL refuses here is data too long for the key or of the wrong digest length.
        fail(CKR_DATA_LEN_RANGE);
    signature.resize(length);
    if (isEc_)
        signature = EcdsaSignature::toRaw(signature, signatureLength() / 2);
    if (signature.empty())
        fail(CKR_GENERAL_ERROR);
    return signature;
}

bool SignatureOperation::verify(const uint8_t* signature, std::size_t size) const {
    if (size != signatureLength())
        fail(CKR_SIGNATURE_LEN_RANGE);
    Digest digest;
    const std::span<const uint8_t> input = toBeSigned(digest);
    std::vector<uint8_t> encoded(signature, signature + size);
    if (isEc_)
        encoded = EcdsaSignature::toDer(signature, size);
    PkeyContextPtr verifying = context(false);
    return EVP_PKEY_verify(verifying.get(), encoded.data(), encoded.size(), input.data(), input.size()) == 1;
}

} // namespace quillard::module
