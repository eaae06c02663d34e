// The arguments of one command: `--name value` or `--name=value` options, `--flag` switches and plain words,
// in any order. Only the options and switches a command declares are accepted; anything else is a UsageError.
#pragma once

#include "token/lib/secure_bytes.h"

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tools {

class Arguments {
public:
    Arguments(const std::vector<std::string>& words, const std::set<std::string>& options,
              const std::set<std::string>& switches);

    bool has(const std::string& name) const;
    std::optional<std::string> text(const std::string& name) const;
    // A PIN or password: handed over in wiping storage, and the parsed copy is wiped.
    std::optional<quillard::SecureString> secret(const std::string& name);
    // A decimal or 0x-hexadecimal integer between `lowest` and `highest`.
    int64_t integer(const std::string& name, int64_t fallback, int64_t lowest, int64_t highest) const;
    // A size in bytes: digits, optionally followed by K, M or G (binary multiples).
    uint64_t size(const std::string& name, uint64_t fallback) const;
    const std::vector<std::string>& words() const { return words_; }

private:
    std::map<std::string, std::string> values_;
    std::set<std::string> switches_;
    std::vector<std::string> words_;
};

} // namespace tools
