#include "arguments.h"

#include "usage_error.h"

#include <cerrno>
#include <cstdlib>

namespace tools {

namespace {

// Reads a whole unsigned number in `text` (decimal, or hexadecimal after 0x); false when it is not one.
bool parseNumber(const std::string& text, uint64_t& value, std::size_t& end) {
    bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const char* start = text.c_str() + (hex ? 2 : 0);
    if (*start < '0' || (*start > '9' && !hex))
        return false;
    char* stop = nullptr;
    errno = 0;
    value = std::strtoull(start, &stop, hex ? 16 : 10);
    end = static_cast<std::size_t>(stop - text.c_str());
    return errno == 0 && stop != start;
}

uint64_t multiplierOf(const std::string& suffix) {
    if (suffix.empty())
        return 1;
    if (suffix == "K" || suffix == "k")
        return uint64_t(1) << 10;
    if (suffix == "M" || suffix == "m")
        return uint64_t(1) << 20;
    if (suffix == "G" || suffix == "g")
        return uint64_t(1) << 30;
    return 0;
}

} // namespace

Arguments::Arguments(const std::vector<std::string>& words, const std::set<std::string>& options,
                     const std::set<std::string>& switches) {
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word.rfind("--", 0) != 0) {
            words_.push_back(word);
            continue;
        }
        std::size_t equals = word.find('=');
        std::string name = word.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
        if (switches.count(name) && equals == std::string::npos) {
            switches_.insert(name);
        } else if (!options.count(name)) {
            throw UsageError("unknown option --" + name);
        } else if (equals != std::string::npos) {
            values_[name] = word.substr(equals + 1);
        } else if (i + 1 < words.size()) {
            values_[name] = words[++i];
        } else {
            throw UsageError("--" + name + " needs a value");
        }
    }
}

bool Arguments::has(const std::string& name) const {
    return switches_.count(name) || values_.count(name);
}

std::optional<std::string> Arguments::text(const std::string& name) const {
    auto found = values_.find(name);
    return found == values_.end() ? std::nullopt : std::optional<std::string>(found->second);
}

std::optional<quillard::SecureString> Arguments::secret(const std::string& name) {
    auto found = values_.find(name);
    if (found == values_.end())
        return std::nullopt;
    std::string& value = found->second;
    quillard::SecureString secret(value.data(), value.size());
    quillard::wipeMemory(value.data(), value.size());
    value.clear(); // the option still counts as given
    return secret;
}

int64_t Arguments::integer(const std::string& name, int64_t fallback, int64_t lowest, int64_t highest) const {
    std::optional<std::string> given = text(name);
    if (!given)
        return fallback;
    uint64_t value = 0;
    std::size_t end = 0;
    if (!parseNumber(*given, value, end) || end != given->size() || value > static_cast<uint64_t>(highest) ||
        static_cast<int64_t>(value) < lowest)
        throw UsageError("--" + name + " takes a number from " + std::to_string(lowest) + " to " +
                         std::to_string(highest));
    return static_cast<int64_t>(value);
}

uint64_t Arguments::size(const std::string& name, uint64_t fallback) const {
    std::optional<std::string> given = text(name);
    if (!given)
        return fallback;
    uint64_t value = 0;
    std::size_t end = 0;
    uint64_t multiplier = 0;
    if (parseNumber(*given, value, end))
        multiplier = multiplierOf(given->substr(end));
    if (multiplier == 0 || value > UINT64_MAX / multiplier)
        throw UsageError("--" + name + " takes a size in bytes, such as 65536, 64K or 16M");
    return value * multiplier;
}

} // namespace tools
