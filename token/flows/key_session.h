// The steps every administration flow shares: logging a key out while keeping its login state in step, the
// lock check of the SO PIN and the SO login, and the outcome record the flows return.
#pragma once

#include <cstdint>

namespace token::flows {

// What a flow ended with: `result` says which way it went, `code` is the library's code of the failed call
// (0 when none failed) and `triesLeft` the tries a refused PIN has left.
template <typename Result> struct Outcome {
    Result result{};
    int32_t code = 0;
    int32_t triesLeft = 0;
};

// Logs `slot` out (result not examined) and sets its login state to "present, not logged in".
void logOutKey(int32_t slot);

// Refreshes the shared PIN state record for the PIN of `pinType` (1 user, 0 SO) of `slot`; true when its
// locked flag is 1. A failed read counts as not locked.
bool pinLocked(int32_t slot, int32_t pinType);
// pinLocked for the SO PIN.
bool soPinLocked(int32_t slot);

struct SoLogin {
    int32_t code = 0;
    int32_t triesLeft = 0; // stays 0 when the library does not set it
    bool succeeded() const { return code == 0; }
};

// Logs in to `slot` as the security officer with `soPin`.
SoLogin logInSo(int32_t slot, const char* soPin);

} // namespace token::flows
