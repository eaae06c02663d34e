#include "key_rescan.h"

#include "token/key_table.h"
#include "token/token_ops.h"

#include <cstring>

namespace token::flows {

KeyRescan rescanKeys() {
    KeyRescan rescan;
    rescan.scan = scanKeys();
    if (rescan.scan.code != 0)
        return rescan;
    const KeyTable& table = keyTable();
    for (int32_t slot = 0; slot < rescan.scan.keyCount; ++slot) {
        const char* serial = table.keys[slot].serial;
        rescan.keys.push_back({quillard_key_module(slot),
                               std::string(serial, strnlen(serial, sizeof table.keys[slot].serial))});
    }
    return rescan;
}

KeyRescan logoutAndRescan(const std::vector<int32_t>& slots) {
    // A logout that fails concerns a key that is gone, whose login went with it.
    for (int32_t slot : slots)
        token_logout(slot);
    return rescanKeys();
}

} // namespace token::flows
