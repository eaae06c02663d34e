// CertPresence: which certificates the last certificate tree build found in each container of each key. A
// flag equals the key specification it marks (exchange 1, signature 2) or is 0, so a flag can be passed on as
// the key specification of a later call. The table covers every key slot and container position of the key
// table.
#pragma once

#include "key_table.h"

#include <array>
#include <cstdint>

namespace token {

constexpr int32_t kExchangeSpec = 1;
constexpr int32_t kSignatureSpec = 2;

class CertPresenceTable {
public:
    // The flag of `spec` (1 or 2) for container `container` of key `key`; 0 outside the table.
    int32_t flag(int32_t key, int32_t container, int32_t spec) const;
    // Marks the certificate of `spec` present or absent; nothing happens outside the table.
    void set(int32_t key, int32_t container, int32_t spec, bool present);
    // Every flag of `key` back to 0.
    void clearKey(int32_t key);

private:
    static bool inside(int32_t key, int32_t container, int32_t spec);

    std::array<std::array<std::array<uint8_t, 2>, kMaxContainers>, kKeySlots> flags_{};
};

// The one table of the process.
CertPresenceTable& CertPresence();

} // namespace token
