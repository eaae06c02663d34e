#include "store_registration.h"

#include "token/cert_info_record.h"
#include "token/cert_presence.h"
#include "token/key_table.h"
#include "token/token_ops.h"

#include <algorithm>

namespace token::flows {

namespace {

constexpr int32_t kExchangeFailureBase = 10000;
constexpr int32_t kSignatureFailureBase = 20000;

} // namespace

int32_t registerKeyCertificates(int32_t slot, const std::string& cspName) {
    if (slot < 0 || slot >= kKeySlots)
        return 0;
    TZartoInfo& record = keyTable().keys[slot];
    if (const int32_t result = LoadContainerList(slot, record); result != 0)
        return result;
    const int32_t count = std::clamp(record.containerCount, 0, kMaxContainers);
    for (int32_t position = 0; position < count; ++position) {
        const std::string& name = record.containerNames[position];
        for (const int32_t spec : {kExchangeSpec, kSignatureSpec}) {
            TZartoCertInfo info;
            if (ReadCertInfo(slot, name, spec, info) != 0 || info.algorithm != 0)
                continue;
            // Only RSA pairs go to the store. A key type that cannot be read does not count as elliptic.
            int32_t keyType = 0;
            container_get_pubkey(slot, name, spec, keyType);
            if (keyType == kEllipticCurveKey)
                continue;
            const int32_t result = container_addcert_to_store(name, cspName, spec, info.certificate.data(),
                                                              info.certificateLength);
            if (result != 0)
                return result + (spec == kExchangeSpec ? kExchangeFailureBase : kSignatureFailureBase);
        }
    }
    return 0;
}

void registerEveryKey(const std::string& cspName) {
    const int32_t keyCount = std::clamp(keyTable().keyCount, 0, kMaxKeysFound);
    for (int32_t slot = 0; slot < keyCount; ++slot)
        registerKeyCertificates(slot, cspName);
}

} // namespace token::flows
