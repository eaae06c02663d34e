#include "key_scan.h"

#include "token/key_table.h"
#include "token/token_ops.h"

#include <algorithm>

namespace token::flows {

KeyScan scanKeys() {
    KeyTable& table = keyTable();
    table.resetLoginStates();
    for (int32_t slot = 0; slot < kMaxKeysFound; ++slot)
        table.keys[slot].clear();
    table.tokenFlags.fill(0);
    KeyScan scan;
    scan.code = token_find(scan.keyCount);
    if (scan.code != 0) {
        scan.searchFailed = true;
        return scan;
    }
    for (int32_t slot = 0; slot < scan.keyCount; ++slot) {
        if ((scan.code = token_get_info(slot, table.keys[slot])) != 0)
            return scan;
        table.tokenFlags[slot] = quillard_token_flags(slot);
    }
    table.currentKey = 0;
    std::fill_n(table.loginState.begin(), scan.keyCount, KeyPresent);
    // A token that needs no login is open as found: its certificates show without a login page.
    for (int32_t slot = 0; slot < scan.keyCount; ++slot)
        if (table.hasFlag(slot, QUILLARD_TOKEN_NO_LOGIN))
            table.loginState[slot] = LoggedIn;
    return scan;
}

} // namespace token::flows
