// The virtual key's part in enrolment: which key pairs it generates and signing with a container's key.
#include "digest_signer.h"
#include "key_generator.h"
#include "softkey_driver.h"

namespace quillard {

Result SoftkeyDriver::generatedKeyKinds(int32_t idx, std::vector<GeneratedKeyKind>& kinds) {
    KeyInfo present;
    if (Result result = getInfo(idx, present); result != QR_OK)
        return result;
    kinds.clear();
    for (const GeneratedKeyKind& kind : kGeneratedKeyKinds)
        if (softkey::KeyGenerator::supports(kind.algorithm, kind.bits))
            kinds.push_back(kind);
    return QR_OK;
}

Result SoftkeyDriver::signDigest(int32_t idx, const std::string& name, int32_t spec,
                                 const std::string& digest, const std::vector<uint8_t>& hash,
                                 std::vector<uint8_t>& signature) {
    return usePrivateKey(idx, name, spec, [&](EVP_PKEY* key) {
        return softkey::signDigestWith(key, digest, hash, signature);
    });
}

} // namespace quillard
