// The symbolic name of a libquillard result code, read from the one error table.
#pragma once

#include <cstdint>

namespace quillard {

// "CKR_PIN_INCORRECT" for 0xA0, "QR_OUT_OF_SPACE" for 0x0A000030, "UNKNOWN" for a code not in the table.
const char* errorName(int32_t code);

} // namespace quillard
