#include "mechanism_table.h"

#include "module_error.h"

namespace quillard::module {

namespace {

// The key operations run inside the virtual key, which stands for the device: its private keys never leave
// it. They carry CKF_HW as the maker's key's do, so programs treat them alike.
constexpr CK_FLAGS kEcFlags = CKF_EC_F_P | CKF_EC_NAMEDCURVE | CKF_EC_UNCOMPRESS;
constexpr CK_FLAGS kSignFlags = CKF_HW | CKF_SIGN | CKF_VERIFY;

// RSA keys of 1024 to 4096 bits are used as a key holds them; new ones are 2048 or 3072 bits.
constexpr CK_MECHANISM_INFO kRsaSign{1024, 4096, kSignFlags};
constexpr CK_MECHANISM_INFO kEcSign{256, 384, kSignFlags | kEcFlags};
constexpr CK_MECHANISM_INFO kDigest{0, 0, CKF_DIGEST};

std::vector<Mechanism> makeTable() {
    using F = Mechanism::Family;
    return {
        {CKM_RSA_PKCS, F::RsaPkcs, nullptr, {1024, 4096, kSignFlags | CKF_DECRYPT | CKF_UNWRAP}},
        {CKM_SHA256_RSA_PKCS, F::RsaPkcs, "SHA256", kRsaSign},
        {CKM_SHA384_RSA_PKCS, F::RsaPkcs, "SHA384", kRsaSign},
        {CKM_SHA512_RSA_PKCS, F::RsaPkcs, "SHA512", kRsaSign},
        {CKM_RSA_PKCS_PSS, F::RsaPss, nullptr, kRsaSign},
        {CKM_SHA256_RSA_PKCS_PSS, F::RsaPss, "SHA256", kRsaSign},
        {CKM_SHA384_RSA_PKCS_PSS, F::RsaPss, "SHA384", kRsaSign},
        {CKM_SHA512_RSA_PKCS_PSS, F::RsaPss, "SHA512", kRsaSign},
        {CKM_RSA_PKCS_OAEP, F::RsaOaep, nullptr, {1024, 4096, CKF_HW | CKF_DECRYPT | CKF_UNWRAP}},
        {CKM_ECDSA, F::Ecdsa, nullptr, kEcSign},
        {CKM_ECDSA_SHA256, F::Ecdsa, "SHA256", kEcSign},
        {CKM_ECDSA_SHA384, F::Ecdsa, "SHA384", kEcSign},
        {CKM_ECDSA_SHA512, F::Ecdsa, "SHA512", kEcSign},
        {CKM_SHA_1, F::Digest, "SHA1", kDigest},
        {CKM_SHA256, F::Digest, "SHA256", kDigest},
        {CKM_SHA384, F::Digest, "SHA384", kDigest},
        {CKM_SHA512, F::Digest, "SHA512", kDigest},
        {CKM_RSA_PKCS_KEY_PAIR_GEN, F::RsaKeyPairGen, nullptr, {2048, 3072, CKF_HW | CKF_GENERATE_KEY_PAIR}},
        {CKM_ECDH1_DERIVE, F::EcdhDerive, nullptr, {256, 384, CKF_HW | CKF_DERIVE | kEcFlags}},
        {CKM_EC_KEY_PAIR_GEN,
         F::EcKeyPairGen,
         nullptr,
         {256, 384, CKF_HW | CKF_GENERATE_KEY_PAIR | kEcFlags}},
    };
}

} // namespace

const std::vector<Mechanism>& MechanismTable::all() {
    static const std::vector<Mechanism> table = makeTable();
    return table;
}

const Mechanism& MechanismTable::find(CK_MECHANISM_TYPE type, CK_FLAGS purpose) {
    for (const Mechanism& mechanism : all())
        if (mechanism.type == type && (mechanism.info.flags & purpose) == purpose)
            return mechanism;
    fail(CKR_MECHANISM_INVALID);
}

const EVP_MD* MechanismTable::digestOf(CK_MECHANISM_TYPE hash) {
    switch (hash) {
    case CKM_SHA_1:
        return EVP_sha1();
    case CKM_SHA224:
        return EVP_sha224();
    case CKM_SHA256:
        return EVP_sha256();
    case CKM_SHA384:
        return EVP_sha384();
    case CKM_SHA512:
        return EVP_sha512();
    default:
        return nullptr;
    }
}

const EVP_MD* MechanismTable::mgfDigestOf(CK_RSA_PKCS_MGF_TYPE mgf) {
    switch (mgf) {
    case CKG_MGF1_SHA1:
        return EVP_sha1();
    case CKG_MGF1_SHA224:
        return EVP_sha224();
    case CKG_MGF1_SHA256:
        return EVP_sha256();
    case CKG_MGF1_SHA384:
        return EVP_sha384();
    case CKG_MGF1_SHA512:
        return EVP_sha512();
    default:
        return nullptr;
    }
}

} // namespace quillard::module
