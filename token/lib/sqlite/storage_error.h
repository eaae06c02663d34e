// The failure type of the SQLite layer (sqlite_*.h): a database that cannot be opened, read or written. It
// carries the result code the failure stands for; each user of the layer decides what that means to its own
// callers.
#pragma once

#include "token/lib/driver.h"

#include <stdexcept>
#include <string>

namespace quillard {

class StorageError : public std::runtime_error {
public:
    StorageError(Result code, const std::string& detail) : std::runtime_error(detail), code_(code) {}
    Result code() const { return code_; }

private:
    Result code_;
};

} // namespace quillard
