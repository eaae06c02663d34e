// The text fields of PKCS#11 structures: fixed-size, blank-padded, and in no promised encoding.
#pragma once

#include <cstddef>
#include <string>

namespace quillard::pkcs11 {

// The text of a blank-padded field of `size` bytes: trailing blanks and NULs removed (and anything after a
// NUL), a character cut off by the field's end dropped, each control character and each other malformed
// UTF-8 sequence replaced by '?', then cut to at most `limit` bytes on a character boundary, with no blank
// left at its end. Written back with fillPaddedField(), the text reads back the same.
std::string paddedFieldText(const unsigned char* field, std::size_t size, std::size_t limit);

// `text` in a blank-padded field of `size` bytes; false when it does not fit.
bool fillPaddedField(const std::string& text, unsigned char* field, std::size_t size);

} // namespace quillard::pkcs11
