// Creates, lists, plugs, unplugs and deletes virtual keys. A key is plugged in while its files sit in the
// device folder (keysFolder()); an unplugged key waits in unpluggedKeysFolder(). Each operation is safe
// against drivers of other processes using the key at the same time: unplugging and deleting wait for the
// key's lock. Every operation first finishes or undoes what a killed process left half done (key_moves.h).
// Every operation first finishes or undoes moves that a killed process left half done (see key_moves.h).
#pragma once

#include "key_moves.h"
#include "key_records.h"
#include "token/lib/driver.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace quillard {

struct VirtualKeySettings {
    std::string serial; // empty: a random one
    std::string label;  // UTF-8, fewer than 32 bytes
    std::string manufacturer = "Norvale";
    std::string model = "Zarto Virtual Key";
    int32_t productId = 0xE917;
    softkey::PinPolicy userPolicy;
    softkey::PinPolicy soPolicy;
    SecureString userPin; // for an initialised key only
    SecureString soPin;
    int64_t totalMemory = 65536;
    uint64_t diskBytes = 16u << 20; // whole 2048-byte sectors
    bool initialised = true;
    int32_t kdfIterations = 600000;
    bool plugged = true;
};

struct VirtualKeyStatus {
    std::string serial;
    bool plugged = false;
    std::string problem; // why the key cannot be read; empty when all is well, and then the fields below hold
    std::string label;
    bool initialised = false;
    int32_t productId = 0;
    PinState userPin;
    PinState soPin;
    int64_t totalMemory = 0;
    int64_t freeMemory = 0;
    uint64_t diskBytes = 0;
    std::size_t containers = 0;
};

class VirtualKeyManager {
public:
    // Works in the folders of paths.h, as they are now.
    VirtualKeyManager();
    VirtualKeyManager(std::filesystem::path keysFolder, std::filesystem::path unpluggedFolder);

    // Every operation returns QR_OK or an error code; `detail`, when given, receives an explanation for
    // people. create() sets `serial` to the new key's serial. QR_ARGUMENTS_BAD for bad settings or a serial
    // in use, QR_PIN_LEN_RANGE for a PIN its policy does not allow.
    Result create(const VirtualKeySettings& settings, std::string& serial, std::string* detail = nullptr);
    // Plugged keys first, each group sorted by serial.
    std::vector<VirtualKeyStatus> list();
    // QR_TOKEN_NOT_PRESENT for a serial no key has.
    Result status(const std::string& serial, VirtualKeyStatus& status);
    Result plug(const std::string& serial, std::string* detail = nullptr);
    Result unplug(const std::string& serial, std::string* detail = nullptr);
    Result remove(const std::string& serial, std::string* detail = nullptr);

private:
    VirtualKeyStatus readStatus(const std::filesystem::path& folder, const std::string& serial, bool plugged);
    // Waits for the move lock and repairs what killed processes left behind; throws when it cannot lock.
    softkey::KeyMoveLock lockMoves() const;
    void checkSerialFree(const std::string& serial) const;
    std::filesystem::path locate(const std::string& serial) const;

    std::filesystem::path keysFolder_;
    std::filesystem::path unpluggedFolder_;
};

} // namespace quillard
