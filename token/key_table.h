// The shared records that describe the keys: the key table of 33 TZartoInfo records, the key count, the
// current key index, the login state per slot and the one PIN state record. Process-wide, used from the
// window thread.
#pragma once

#include "token/lib/quillard.h"

#include <array>
#include <cstdint>
#include <string>

namespace token {

constexpr int kKeySlots = 33;
constexpr int kMaxKeysFound = 32;
constexpr int kMaxContainers = 65;

// The PIN a check or a state read concerns, as the library numbers them.
enum class PinType : int32_t { So = QUILLARD_SO_PIN, User = QUILLARD_USER_PIN };

// Login states of a slot.
enum LoginState : int32_t { NoKey = 0, KeyPresent = 1, LoggedIn = 2 };

struct TZartoInfo {
    // The key information block, filled by token_get_info; each field has the exact size the library fills.
    char serial[33];       // 8-bit text
    char label[129];       // UTF-8 text
    char manufacturer[65]; // 8-bit text
    char model[65];        // 8-bit text
    int32_t maxPinLength;
    int32_t minPinLength;
    int32_t maxSoPinLength; // the SO PIN limits bound what the PIN forms send to the key
    int32_t minSoPinLength;
    int32_t totalMemory;
    int32_t freeMemory;
    int32_t hardwareVersion; // major * 256 + minor
    int32_t firmwareVersion;
    int32_t initialised; // 0 = never initialised
    // The program's own container list, filled by LoadContainerList.
    int32_t containerCount;
    std::array<std::string, kMaxContainers> containerNames; // 8-bit names, byte for byte as the key has them

    // Empties the record (all bytes of the block zero, no containers).
    void clear();
};

// The PIN state record: six integers refreshed by token_get_pin_state before each use.
struct TPinState {
    int32_t retriesLeft;
    int32_t maxRetries;
    int32_t reserved2;
    int32_t reserved3;
    int32_t locked; // 1 = locked
    int32_t reserved5;
};

struct KeyTable {
    std::array<TZartoInfo, kKeySlots> keys{};
    int32_t keyCount = 0;
    int32_t currentKey = 0;
    std::array<int32_t, kKeySlots> loginState{};
    TPinState pinState{};
    // Per slot, what kind of token the key is (QUILLARD_TOKEN_* bits), read by every scan.
    std::array<int32_t, kKeySlots> tokenFlags{};

    bool hasFlag(int32_t slot, int32_t flag) const {
        return slot >= 0 && slot < kKeySlots && (tokenFlags[slot] & flag) != 0;
    }

    TZartoInfo& current() { return keys[currentKey]; }
    int32_t& currentLoginState() { return loginState[currentKey]; }
    // Every slot back to "no key known" (start of a scan, window set-up).
    void resetLoginStates() { loginState.fill(NoKey); }
};

// The one key table of the process.
KeyTable& keyTable();

} // namespace token
