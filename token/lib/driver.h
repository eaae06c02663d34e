// The interface every key driver of libquillard implements. The exported C functions translate their buffers
// into these calls; a driver never sees a caller's raw buffer. `idx` is the position of a key in the last
// find().
#pragma once

#include "credential.h"
#include "quillard.h"
#include "quillard_errors.h"
#include "secure_bytes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quillard {

using Result = int32_t;

// The most containers a key is given: as many as the container list of the window and the command line
// holds, so every container made is one they show.
constexpr std::size_t kMostContainers = 65;

struct KeyInfo {
    std::string serial;       // at most 32 characters
    std::string label;        // UTF-8, at most 32 bytes
    std::string manufacturer; // at most 64 bytes
    std::string model;        // at most 64 bytes
    int32_t maxPinLength = 0;
    int32_t minPinLength = 0;
    int32_t maxSoPinLength = 0;
    int32_t minSoPinLength = 0;
    int32_t totalMemory = 0; // bytes
    int32_t freeMemory = 0;  // bytes
    int32_t hardwareVersion = 0;
    int32_t firmwareVersion = 0;
    int32_t initialised = 0;
};

struct PinState {
    int32_t retriesLeft = 0;
    int32_t maxRetries = 0;
    int32_t minLength = 0;
    int32_t maxLength = 0;
    int32_t locked = 0;
    int32_t loggedIn = 0;
};

enum class PinKind { User, SecurityOfficer };

// The settings of a format, taken from the TFormatParams block.
struct FormatSettings {
    std::string label;
    std::string manufacturer;
    std::string issuer;
    SecureString soPin;
    SecureString userPin;
    int userPinRetries = 0;
    int soPinRetries = 0;
    int userPinMinLength = 0;
    int userPinMaxLength = 0;
    int soPinMinLength = 0;
    int soPinMaxLength = 0;
};

class Driver {
public:
    virtual ~Driver() = default;

    // Rescans the plugged keys; `serials` receives them in the order indices refer to.
    virtual Result find(std::vector<std::string>& serials) = 0;
    // Whether the keys present differ from the last find(), asked cheaply and without waiting. Drivers whose
    // keys are seen by other means (device events, a folder watch) answer false.
    virtual Result presenceChanged(bool& changed) {
        changed = false;
        return QR_OK;
    }
    virtual Result connect(int32_t idx) = 0;
    virtual Result getInfo(int32_t idx, KeyInfo& info) = 0;
    virtual Result getPinState(int32_t idx, PinKind kind, PinState& state) = 0;
    virtual Result login(int32_t idx, PinKind kind, const SecureString& pin, int32_t& retriesLeft) = 0;
    virtual Result logout(int32_t idx) = 0;
    virtual Result changePin(int32_t idx, PinKind kind, const SecureString& oldPin,
                             const SecureString& newPin) = 0;
    virtual Result unlockUserPin(int32_t idx, const SecureString& soPin, const SecureString& newUserPin) = 0;
    virtual Result setLabel(int32_t idx, const std::string& utf8Label) = 0;
    virtual Result format(int32_t idx, const FormatSettings& settings) = 0;
    virtual Result writeSectors(int32_t idx, uint32_t firstSector, uint32_t sectorCount,
                                const uint8_t* data) = 0;
    virtual Result reloadObjects(int32_t idx) = 0;
    // The name of the module key `idx` belongs to, as a command line names it: "virtual" for the built-in
    // virtual keys, p11-kit's name of a PKCS#11 module. Drivers that cannot tell answer not supported.
    virtual Result moduleName(int32_t idx, std::string& name) {
        (void)idx;
        (void)name;
        return QR_FUNCTION_NOT_SUPPORTED;
    }

    // What kind of token key `idx` is (QUILLARD_TOKEN_* bits); keys of drivers that cannot tell have none.
    virtual Result tokenFlags(int32_t idx, int32_t& flags) {
        (void)idx;
        flags = 0;
        return QR_OK;
    }

    virtual Result listContainers(int32_t idx, std::vector<std::string>& names) = 0;
    // QR_CONTAINER_LIMIT when the key holds kMostContainers already; the same for an import that would
    // make one more.
    virtual Result createContainer(int32_t idx, const std::string& name) = 0;
    virtual Result deleteContainer(int32_t idx, const std::string& name) = 0;
    virtual Result deleteCertificate(int32_t idx, const std::string& name, int32_t spec) = 0;
    virtual Result getCertificate(int32_t idx, const std::string& name, int32_t spec,
                                  std::vector<uint8_t>& der) = 0;
    virtual Result getPublicKey(int32_t idx, const std::string& name, int32_t spec, KeyDescription& key) = 0;
    virtual Result getPrivateKey(int32_t idx, const std::string& name, int32_t spec, KeyDescription& key) = 0;
    // Stores the certificate, its public key and, when present, its private key under `spec` in one step:
    // either everything is kept or nothing is. A container `name` that is not there is made in that step.
    virtual Result importCredential(int32_t idx, const std::string& name, int32_t spec,
                                    const Credential& credential) = 0;
};

} // namespace quillard
