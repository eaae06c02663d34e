// The keys the library sees, each named by its serial and the module it comes from. The library is started
// and the keys are scanned once per command, the same scan the window makes. A key is named on the command
// line by its serial, or as MODULE:SERIAL (or with --module) when two modules could share a serial; never by
// a position.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cli {

struct FoundKey {
    int32_t slot = 0;
    std::string serial;
    std::string module; // "virtual" for the built-in virtual keys, else the PKCS#11 module's name
};

class KeyDirectory {
public:
    // Starts the library with the window's module name and scans; a Failure when either fails.
    KeyDirectory();
    ~KeyDirectory();
    KeyDirectory(const KeyDirectory&) = delete;
    KeyDirectory& operator=(const KeyDirectory&) = delete;

    const std::vector<FoundKey>& keys() const { return keys_; }
    // The key named `name` ("SERIAL" or "MODULE:SERIAL"), in `module` when given; a Failure with kNoSuchKey
    // when no key or more than one answers to it.
    const FoundKey& find(const std::string& name, const std::optional<std::string>& module) const;

private:
    std::vector<const FoundKey*> matching(const std::string& serial,
                                          const std::optional<std::string>& module) const;

    std::vector<FoundKey> keys_;
};

} // namespace cli
