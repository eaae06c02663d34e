// Bytes as upper-case hexadecimal text, two digits a byte: certificate serials and thumbprints, key serials.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quillard {

std::string upperHex(const uint8_t* bytes, std::size_t size);
// The same with a colon between bytes ("0A:1B:2C"), as fingerprints are shown.
std::string colonHex(const uint8_t* bytes, std::size_t size);

} // namespace quillard
