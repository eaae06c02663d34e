// The mechanisms the module offers, with what each does and on which keys, and the digests they name.
#pragma once

#include <p11-kit/pkcs11.h>

#include <openssl/evp.h>

#include <vector>

namespace quillard::module {

struct Mechanism {
    enum class Family { RsaPkcs, RsaPss, RsaOaep, Ecdsa, Digest, RsaKeyPairGen, EcKeyPairGen, EcdhDerive };

    CK_MECHANISM_TYPE type;
    Family family;
    // The digest the mechanism applies to the data itself; nullptr when the caller hands over the digest
    // (or, for CKM_RSA_PKCS, the DigestInfo) ready made.
    const char* digest;
    CK_MECHANISM_INFO info;

    CK_KEY_TYPE keyType() const {
        return family == Family::Ecdsa || family == Family::EcKeyPairGen ? CKK_EC : CKK_RSA;
    }
};

class MechanismTable {
public:
    static const std::vector<Mechanism>& all();
    // Throws ModuleError(CKR_MECHANISM_INVALID) for a mechanism not offered or one without `purpose` (a
    // CKF_* flag such as CKF_SIGN).
    static const Mechanism& find(CK_MECHANISM_TYPE type, CK_FLAGS purpose);
    // The OpenSSL digest of a CKM_SHA* mechanism or a CKG_MGF1_* function; nullptr for another.
    static const EVP_MD* digestOf(CK_MECHANISM_TYPE hash);
    static const EVP_MD* mgfDigestOf(CK_RSA_PKCS_MGF_TYPE mgf);
};

} // namespace quillard::module
