#include "error_names.h"

#include "quillard_errors.h"

namespace quillard {

const char* errorName(int32_t code) {
    switch (code) {
#define QUILLARD_NAME_ENTRY(name, value, text)                                                               \
    case value:                                                                                              \
        return text;
        QUILLARD_ERROR_TABLE(QUILLARD_NAME_ENTRY)
#undef QUILLARD_NAME_ENTRY
    }
    return "UNKNOWN";
}

} // namespace quillard
