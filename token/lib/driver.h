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
    // 1 when a token that tells no counts flags the PIN as having had wrong tries (PKCS#11's "count low").
    int32_t countLow = 0;
};

enum class PinKind { User, SecurityOfficer };

// A kind of key pair a key may generate: RSA 2048, 3072 or 4096 bits, or EC on P-256 or P-384.
struct GeneratedKeyKind {
    int32_t algorithm = AlgorithmRsa; // AlgorithmRsa or AlgorithmEcc
    int32_t bits = 0;                 // the modulus length, or 256 and 384 for the curves
    bool operator==(const GeneratedKeyKind&) const = default;
};
inline constexpr GeneratedKeyKind kGeneratedKeyKinds[] = {{AlgorithmRsa, 2048},
                                                          {AlgorithmRsa, 3072},
                                                          {AlgorithmRsa, 4096},
                                                          {AlgorithmEcc, 256},
                                                          {AlgorithmEcc, 384}};

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
    // The size in bytes of the disk area writeSectors writes to. Drivers of keys without one answer not
    // supported.
    virtual Result diskSize(int32_t idx, uint64_t& bytes) {
        (void)idx;
        (void)bytes;
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

    // Key pairs made and used on the key. Drivers that cannot do it answer QR_FUNCTION_NOT_SUPPORTED.
    // The kinds of key pair the key can generate, among kGeneratedKeyKinds.
    virtual Result generatedKeyKinds(int32_t idx, std::vector<GeneratedKeyKind>& kinds) {
        (void)idx;
        kinds.clear();
        return QR_FUNCTION_NOT_SUPPORTED;
    }
    // Generates a key pair of `algorithm` and `bits` on the key and keeps it under (name, spec) without a
    // certificate, making the container when it is not there: either all of it is kept or nothing is.
    // `publicKey` receives its description.
    virtual Result generateKeyPair(int32_t idx, const std::string& name, int32_t spec, int32_t algorithm,
                                   int32_t bits, KeyDescription& publicKey) {
        (void)idx, (void)name, (void)spec, (void)algorithm, (void)bits, (void)publicKey;
        return QR_FUNCTION_NOT_SUPPORTED;
    }
    // Stores the DER certificate `certificateDer` beside the key pair at (name, spec), whose public key it
    // carries (the caller has checked that), replacing the certificate there and keeping the pair.
    virtual Result storeCertificate(int32_t idx, const std::string& name, int32_t spec,
                                    const std::vector<uint8_t>& certificateDer) {
        Credential credential;
        credential.certificateDer = certificateDer;
        if (Result result = getPublicKey(idx, name, spec, credential.publicKey); result != QR_OK)
            return result;
        return importCredential(idx, name, spec, credential);
    }
    // Signs the digest `hash` (made with `digest`, "SHA256" or "SHA384") with the private key of (name,
    // spec): an RSA PKCS#1 v1.5 signature, or an ECDSA signature as a DER Ecdsa-Sig-Value. Needs the user
    // login.
    virtual Result signDigest(int32_t idx, const std::string& name, int32_t spec, const std::string& digest,
                              const std::vector<uint8_t>& hash, std::vector<uint8_t>& signature) {
        (void)idx, (void)name, (void)spec, (void)digest, (void)hash, (void)signature;
        return QR_FUNCTION_NOT_SUPPORTED;
    }
};

} // namespace quillard
