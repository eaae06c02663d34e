#include "ecdh_derivation.h"

#include "module_error.h"
#include "token/lib/openssl_providers.h"

#include <openssl/core_names.h>
#include <openssl/params.h>

#include <string>
#include <vector>

namespace quillard::module {

namespace {

// The point itself: some callers wrap it in a DER OCTET STRING (as CKA_EC_POINT holds it), some do not.
std::vector<uint8_t> barePoint(const uint8_t* data, std::size_t size) {
    if (size >= 3 && data[0] == 0x04 && data[1] < 0x80 && std::size_t(data[1]) + 2 == size)
        return {data + 2, data + size};
    if (size >= 4 && data[0] == 0x04 && data[1] == 0x81 && std::size_t(data[2]) + 3 == size)
        return {data + 3, data + size};
    return {data, data + size};
}

std::string groupOf(EVP_PKEY* key) {
    char name[64] = {};
    if (!EVP_PKEY_is_a(key, "EC") ||
        EVP_PKEY_get_utf8_string_param(key, OSSL_PKEY_PARAM_GROUP_NAME, name, sizeof name, nullptr) != 1)
        fail(CKR_KEY_TYPE_INCONSISTENT);
    return name;
}

// The other party's public key on `group`; refused when the point is not on the curve.
EvpPkeyPtr peerKey(const std::string& group, std::vector<uint8_t> point) {
    PkeyContextPtr context(EVP_PKEY_CTX_new_from_name(libraryContext(), "EC", nullptr));
    std::string groupName = group;
    const OSSL_PARAM parameters[] = {
        OSSL_PARAM_construct_utf8_string(OSSL_PKEY_PARAM_GROUP_NAME, groupName.data(), 0),
        OSSL_PARAM_construct_octet_string(OSSL_PKEY_PARAM_PUB_KEY, point.data(), point.size()),
        OSSL_PARAM_construct_end()};
    EVP_PKEY* made = nullptr;
    if (!context || EVP_PKEY_fromdata_init(context.get()) != 1 ||
        EVP_PKEY_fromdata(context.get(), &made, EVP_PKEY_PUBLIC_KEY, const_cast<OSSL_PARAM*>(parameters)) !=
            1)
        fail(CKR_MECHANISM_PARAM_INVALID);
    return EvpPkeyPtr(made);
}

} // namespace

SecureBytes EcdhDerivation::sharedSecret(EVP_PKEY* own, const CK_MECHANISM& mechanism) {
    const auto* parameters = static_cast<const CK_ECDH1_DERIVE_PARAMS*>(mechanism.pParameter);
    if (!parameters || mechanism.ulParameterLen != sizeof(CK_ECDH1_DERIVE_PARAMS) ||
        parameters->kdf != CKD_NULL || parameters->ulSharedDataLen != 0 || !parameters->pPublicData ||
        parameters->ulPublicDataLen == 0)
        fail(CKR_MECHANISM_PARAM_INVALID);
    const std::string group = groupOf(own);
    const EvpPkeyPtr peer = peerKey(group, barePoint(parameters->pPublicData, parameters->ulPublicDataLen));
    PkeyContextPtr context(EVP_PKEY_CTX_new_from_pkey(libraryContext(), own, nullptr));
    std::size_t length = 0;
    if (!context || EVP_PKEY_derive_init(context.get()) != 1 ||
        EVP_PKEY_derive_set_peer_ex(context.get(), peer.get(), 1) != 1 ||
        EVP_PKEY_derive(context.get(), nullptr, &length) != 1)
        fail(CKR_MECHANISM_PARAM_INVALID);
    SecureBytes secret(length);
    if (EVP_PKEY_derive(context.get(), secret.data(), &length) != 1)
        fail(CKR_GENERAL_ERROR);
    secret.resize(length);
    return secret;
}

} // namespace quillard::module
