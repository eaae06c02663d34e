#include "certificate_placement.h"

#include "der_coding.h"
#include "key_description.h"
#include "openssl_providers.h"

namespace quillard {

namespace {

// The public key of a DER certificate, or null when the bytes are not exactly one certificate.
EvpPkeyPtr certificateKey(const std::vector<uint8_t>& certificateDer, KeyDescription& description) {
    X509Ptr certificate = decodeWholeDer<X509Ptr>(decodeCertificateInLibraryContext, certificateDer.data(),
                                                  certificateDer.size());
    if (!certificate)
        return nullptr;
    EVP_PKEY* key = X509_get0_pubkey(certificate.get());
    if (!key || describePublicKey(key, description) != QR_OK)
        return nullptr;
    return decodePublicKey(description.publicKeyDer);
}

bool holdsKey(Driver& driver, int32_t idx, const KeyPairPlace& place, const EVP_PKEY* wanted) {
    KeyDescription stored;
    if (driver.getPublicKey(idx, place.container, place.spec, stored) != QR_OK)
        return false;
    EvpPkeyPtr key = decodePublicKey(stored.publicKeyDer);
    return key && EVP_PKEY_eq(key.get(), wanted) == 1;
}

} // namespace

Result findKeyPairOf(Driver& driver, int32_t idx, const std::vector<uint8_t>& certificateDer,
                     KeyPairPlace& place) {
    KeyDescription description;
    EvpPkeyPtr wanted = certificateKey(certificateDer, description);
    if (!wanted)
        return QR_ARGUMENTS_BAD;
    std::vector<std::string> containers;
    if (Result result = driver.listContainers(idx, containers); result != QR_OK)
        return result;
    for (const std::string& container : containers) {
        for (int32_t spec : {1, 2}) {
            const KeyPairPlace candidate{container, spec};
            if (holdsKey(driver, idx, candidate, wanted.get())) {
                place = candidate;
                return QR_OK;
            }
        }
    }
    return QR_NO_MATCHING_KEY;
}

Result installCertificate(Driver& driver, int32_t idx, const std::vector<uint8_t>& certificateDer,
                          KeyPairPlace& place) {
    KeyPairPlace found;
    if (Result result = findKeyPairOf(driver, idx, certificateDer, found); result != QR_OK)
        return result;
    if (Result result = driver.storeCertificate(idx, found.container, found.spec, certificateDer);
        result != QR_OK)
        return result;
    place = found;
    return QR_OK;
}

} // namespace quillard
