// The failure type of the virtual key code. It carries the result code a caller finally receives and never
// leaves softkey/: the driver and the key manager turn it, and the StorageError of the key database, back
// into a code at their boundary with runGuarded().
#pragma once

#include "token/lib/driver.h"
#include "token/lib/quillard_errors.h"
#include "token/lib/sqlite/storage_error.h"

#include <new>
#include <stdexcept>
#include <string>

namespace quillard::softkey {

class SoftkeyError : public std::runtime_error {
public:
    explicit SoftkeyError(Result code, const std::string& detail = {})
        : std::runtime_error(detail), code_(code) {}
    Result code() const { return code_; }

private:
    Result code_;
};

// What a failure of a key's database means to the caller: a file that is no database at all is a key not
// recognised; every other failure keeps its code.
inline Result keyResultOf(const StorageError& error) {
    return error.code() == QR_FILE_UNUSABLE ? QR_TOKEN_NOT_RECOGNIZED : error.code();
}

// Runs `work` (which returns a Result) and turns whatever it throws into a result code. When `detail` is
// given it receives the explanation of a failure, for messages of the command-line tools.
template <typename Work> Result runGuarded(Work&& work, std::string* detail = nullptr) {
    try {
        return work();
    } catch (const SoftkeyError& error) {
        if (detail)
            *detail = error.what();
        return error.code();
    } catch (const StorageError& error) {
        if (detail)
            *detail = error.what();
        return keyResultOf(error);
    } catch (const std::bad_alloc&) {
        return QR_HOST_MEMORY;
    } catch (const std::exception& error) {
        if (detail)
            *detail = error.what();
        return QR_GENERAL_ERROR;
    }
}

} // namespace quillard::softkey
