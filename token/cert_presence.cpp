#include "cert_presence.h"

namespace token {

bool CertPresenceTable::inside(int32_t key, int32_t container, int32_t spec) {
    return key >= 0 && key < kKeySlots && container >= 0 && container < kMaxContainers &&
           (spec == kExchangeSpec || spec == kSignatureSpec);
}

int32_t CertPresenceTable::flag(int32_t key, int32_t container, int32_t spec) const {
    return inside(key, container, spec) ? flags_[key][container][spec - 1] : 0;
}

void CertPresenceTable::set(int32_t key, int32_t container, int32_t spec, bool present) {
    if (inside(key, container, spec))
        flags_[key][container][spec - 1] = present ? static_cast<uint8_t>(spec) : 0;
}

void CertPresenceTable::clearKey(int32_t key) {
    if (key >= 0 && key < kKeySlots)
        flags_[key] = {};
}

CertPresenceTable& CertPresence() {
    static CertPresenceTable table;
    return table;
}

} // namespace token
