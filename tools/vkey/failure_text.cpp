#include "failure_text.h"

#include "token/lib/error_names.h"

#include <cstdio>

namespace vkey {

std::string failureText(int32_t code, const std::string& detail) {
    char value[16];
    std::snprintf(value, sizeof value, "0x%08X", static_cast<uint32_t>(code));
    std::string text = std::string(quillard::errorName(code)) + " (" + value + ")";
    return detail.empty() ? text : text + ": " + detail;
}

} // namespace vkey
