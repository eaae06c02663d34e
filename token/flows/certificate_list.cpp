#include "certificate_list.h"

#include "token/cert_presence.h"
#include "token/key_table.h"
#include "token/token_ops.h"

#include <algorithm>

namespace token::flows {

namespace {

PairKey pairKey(int32_t slot, const std::string& name, int32_t spec, bool privateKey) {
    PairKey key;
    const int32_t result = privateKey ? container_get_prikey(slot, name, spec, key.keyType)
                                      : container_get_pubkey(slot, name, spec, key.keyType);
    key.present = result == 0;
    return key;
}

ContainerEntry readContainer(int32_t slot, int32_t position) {
    ContainerEntry entry;
    entry.name = keyTable().keys[slot].containerNames[position];
    for (const int32_t spec : {kExchangeSpec, kSignatureSpec}) {
        ContainerCertificate certificate;
        certificate.spec = spec;
        const bool present = ReadCertInfo(slot, entry.name, spec, certificate.info) == 0;
        CertPresence().set(slot, position, spec, present);
        if (!present) {
            if (pairKey(slot, entry.name, spec, false).present ||
                pairKey(slot, entry.name, spec, true).present)
                entry.keyPairsWithoutCertificate.push_back(spec);
            continue;
        }
        certificate.publicKey = pairKey(slot, entry.name, spec, false);
        certificate.privateKey = pairKey(slot, entry.name, spec, true);
        entry.certificates.push_back(std::move(certificate));
    }
    return entry;
}

} // namespace

CertificateList readCertificateList(int32_t slot) {
    CertificateList list;
    if (slot < 0 || slot >= kKeySlots) {
        list.code = 1;
        return list;
    }
    TZartoInfo& record = keyTable().keys[slot];
    record.containerNames[0].clear();
    list.code = LoadContainerList(slot, record);
    if (list.code != 0) {
        // A list that could not be read shows no containers rather than the previous read's.
        record.containerCount = 0;
        for (std::string& name : record.containerNames)
            name.clear();
    }
    CertPresence().clearKey(slot);
    const int32_t count = std::clamp(record.containerCount, 0, kMaxContainers);
    for (int32_t position = 0; position < count; ++position)
        list.containers.push_back(readContainer(slot, position));
    return list;
}

} // namespace token::flows
