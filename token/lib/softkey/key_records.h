// The records a virtual key keeps in its database: the key itself, its two PINs and the objects of its
// containers.
#pragma once

#include "token/lib/driver.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quillard::softkey {

struct KeyRecord {
    std::string serial; // letters, digits, '-' and '_', at most 32; also the stem of the key's file names
    std::string label;  // UTF-8, at most 31 bytes
    std::string manufacturer; // 8-bit text, at most 32 bytes
    std::string model;
    std::string issuer;
    int32_t productId = 0xE917;
    int64_t totalMemory = 65536; // bytes for containers and objects
    uint64_t diskBytes = 0;      // size of the disk area, a whole number of 2048-byte sectors
    int32_t hardwareVersion = 0x0100;
    int32_t firmwareVersion = 0x0102;
    bool initialised = false;
    int32_t kdfIterations = 600000; // PBKDF2 iterations for both PINs
    // Changes whenever the key is plugged in or formatted; a login made under another value is void.
    int64_t sessionEpoch = 0;
};

struct PinPolicy {
    static constexpr int kLongestPin = 32; // the PIN fields of a format block hold 32 bytes
    static constexpr int kMostRetries = 15;

    int minLength = 4;
    int maxLength = 16;
    int maxRetries = 10;

    bool isValid() const {
        return minLength >= 1 && minLength <= maxLength && maxLength <= kLongestPin && maxRetries >= 1 &&
               maxRetries <= kMostRetries;
    }
    bool allows(std::size_t pinLength) const {
        return pinLength >= static_cast<std::size_t>(minLength) &&
               pinLength <= static_cast<std::size_t>(maxLength);
    }
};

struct PinRecord {
    PinPolicy policy;
    int retriesLeft = 0;
    std::vector<uint8_t> salt;
    std::vector<uint8_t> verifier;         // empty while the key is blank
    std::vector<uint8_t> wrappedMasterKey; // the master key sealed under this PIN's key-encryption key

    bool isSet() const { return !verifier.empty(); }
    bool isLocked() const { return isSet() && retriesLeft <= 0; }
    // Tries, policy and lock as the driver interface reports them; loggedIn is left to the caller.
    PinState state() const {
        PinState state;
        state.retriesLeft = retriesLeft;
        state.maxRetries = policy.maxRetries;
        state.minLength = policy.minLength;
        state.maxLength = policy.maxLength;
        state.locked = isLocked() ? 1 : 0;
        return state;
    }
};

enum class ObjectKind : int32_t { Certificate = 0, PublicKey = 1, PrivateKey = 2 };

struct StoredObject {
    int32_t algorithm = 0;
    int32_t bits = 0;
    std::vector<uint8_t> data; // DER; for a private key the sealed (encrypted) PKCS#8 form
};

} // namespace quillard::softkey
