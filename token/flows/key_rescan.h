// The scans the window runs beside the plain key scan: one that also tells which key sits in each slot
// (its module and serial, so a key that stayed plugged is recognised after the slots moved), and the
// logout of every key the window holds logged in, which the refresh button runs before its full scan so
// that the library holds no login the window no longer shows.
#pragma once

#include "key_scan.h"

#include <cstdint>
#include <string>
#include <vector>

namespace token::flows {

// Which key a slot holds: the same module and serial is the same key.
struct KeyIdentity {
    std::string module;
    std::string serial;
    bool operator==(const KeyIdentity&) const = default;
};

struct KeyRescan {
    KeyScan scan;
    std::vector<KeyIdentity> keys; // one per slot read, in slot order; empty when the scan failed
};

// scanKeys, then the identity of every key found.
KeyRescan rescanKeys();

// Logs out every slot of `slots` in the library, then scans as scanKeys does.
KeyRescan logoutAndRescan(const std::vector<int32_t>& slots);

} // namespace token::flows
