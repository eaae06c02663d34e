#include "private_key_components.h"

#include "key_attributes.h"
#include "module_error.h"
#include "token/lib/openssl_providers.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/param_build.h>

namespace quillard::module {

namespace {

using BignumPtr = OpenSslPtr<BIGNUM, BN_clear_free>;
using ParamBuildPtr = OpenSslPtr<OSSL_PARAM_BLD, OSSL_PARAM_BLD_free>;
using ParamsPtr = OpenSslPtr<OSSL_PARAM, OSSL_PARAM_free>;
using EcGroupPtr = OpenSslPtr<EC_GROUP, EC_GROUP_free>;
using EcPointPtr = OpenSslPtr<EC_POINT, EC_POINT_free>;

BignumPtr bignum(const std::vector<uint8_t>& bytes) {
    return BignumPtr(BN_bin2bn(bytes.data(), static_cast<int>(bytes.size()), nullptr));
}

EvpPkeyPtr fromParams(const char* type, OSSL_PARAM_BLD* build) {
    ParamsPtr params(OSSL_PARAM_BLD_to_param(build));
    PkeyContextPtr context(EVP_PKEY_CTX_new_from_name(libraryContext(), type, nullptr));
    EVP_PKEY* key = nullptr;
    if (!params || !context || EVP_PKEY_fromdata_init(context.get()) <= 0 ||
        EVP_PKEY_fromdata(context.get(), &key, EVP_PKEY_KEYPAIR, params.get()) <= 0)
        fail(CKR_ATTRIBUTE_VALUE_INVALID);
    EvpPkeyPtr owned(key);
    PkeyContextPtr check(EVP_PKEY_CTX_new_from_pkey(libraryContext(), key, nullptr));
    if (!check || EVP_PKEY_pairwise_check(check.get()) != 1)
        fail(CKR_ATTRIBUTE_VALUE_INVALID);
    return owned;
}

} // namespace

EvpPkeyPtr PrivateKeyComponents::read(const TemplateReader& attributes) {
    std::optional<CK_ULONG> type = attributes.ulong(CKA_KEY_TYPE);
    if (!type)
        fail(CKR_TEMPLATE_INCOMPLETE);
    if (*type == CKK_RSA)
        return rsa(attributes);
    if (*type == CKK_EC)
        return ec(attributes);
    fail(CKR_KEY_TYPE_INCONSISTENT);
}

EvpPkeyPtr PrivateKeyComponents::rsa(const TemplateReader& attributes) {
    const std::pair<CK_ATTRIBUTE_TYPE, const char*> parts[] = {
        {CKA_MODULUS, OSSL_PKEY_PARAM_RSA_N},
        {CKA_PUBLIC_EXPONENT, OSSL_PKEY_PARAM_RSA_E},
        {CKA_PRIVATE_EXPONENT, OSSL_PKEY_PARAM_RSA_D},
        {CKA_PRIME_1, OSSL_PKEY_PARAM_RSA_FACTOR1},
        {CKA_PRIME_2, OSSL_PKEY_PARAM_RSA_FACTOR2},
        {CKA_EXPONENT_1, OSSL_PKEY_PARAM_RSA_EXPONENT1},
        {CKA_EXPONENT_2, OSSL_PKEY_PARAM_RSA_EXPONENT2},
        {CKA_COEFFICIENT, OSSL_PKEY_PARAM_RSA_COEFFICIENT1},
    };
    ParamBuildPtr build(OSSL_PARAM_BLD_new());
    std::vector<BignumPtr> numbers;
    for (const auto& [type, name] : parts) {
        numbers.push_back(bignum(attributes.requiredBytes(type)));
        if (!numbers.back() || !OSSL_PARAM_BLD_push_BN(build.get(), name, numbers.back().get()))
            fail(CKR_HOST_MEMORY);
    }
    return fromParams("RSA", build.get());
}

EvpPkeyPtr PrivateKeyComponents::ec(const TemplateReader& attributes) {
    const char* curve = KeyAttributes::curveOf(attributes.requiredBytes(CKA_EC_PARAMS));
    if (!curve)
        fail(CKR_CURVE_NOT_SUPPORTED);
    BignumPtr secret = bignum(attributes.requiredBytes(CKA_VALUE));
    // The public point is not part of the template; it is the secret times the curve's generator.
    EcGroupPtr group(EC_GROUP_new_by_curve_name_ex(libraryContext(), nullptr, EC_curve_nist2nid(curve)));
    EcPointPtr point(group ? EC_POINT_new(group.get()) : nullptr);
    if (!secret || !point || !EC_POINT_mul(group.get(), point.get(), secret.get(), nullptr, nullptr, nullptr))
        fail(CKR_ATTRIBUTE_VALUE_INVALID);
    std::vector<uint8_t> encoded(
        EC_POINT_point2oct(group.get(), point.get(), POINT_CONVERSION_UNCOMPRESSED, nullptr, 0, nullptr));
    EC_POINT_point2oct(group.get(), point.get(), POINT_CONVERSION_UNCOMPRESSED, encoded.data(),
                       encoded.size(), nullptr);
    ParamBuildPtr build(OSSL_PARAM_BLD_new());
    if (!build || !OSSL_PARAM_BLD_push_utf8_string(build.get(), OSSL_PKEY_PARAM_GROUP_NAME, curve, 0) ||
        !OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_PRIV_KEY, secret.get()) ||
        !OSSL_PARAM_BLD_push_octet_string(build.get(), OSSL_PKEY_PARAM_PUB_KEY, encoded.data(),
                                          encoded.size()))
        fail(CKR_HOST_MEMORY);
    return fromParams("EC", build.get());
}

} // namespace quillard::module
