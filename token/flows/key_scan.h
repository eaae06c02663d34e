// The scan for keys that the window's key list and the command line start from: every record and login
// state is forgotten (the keys may now be other keys), the library finds and connects the keys, each key's
// information and token kind are read into its record and, when all of that worked, every found slot is
// "present, not logged in" (a token that needs no login: "logged in") and the first key is the current one.
#pragma once

#include <cstdint>

namespace token::flows {

struct KeyScan {
    int32_t code = 0;          // 0, or the code of the search or of the first information read that failed
    bool searchFailed = false; // the search itself failed (no key count)
    int32_t keyCount = 0;
};

KeyScan scanKeys();

} // namespace token::flows
