// A command line that cannot be run as written: an unknown option, a missing or malformed value.
#pragma once

#include <stdexcept>
#include <string>

namespace tools {

class UsageError : public std::runtime_error {
public:
    explicit UsageError(const std::string& message) : std::runtime_error(message) {}
};

} // namespace tools
