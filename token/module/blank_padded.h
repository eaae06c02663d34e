// The fixed-size text fields of PKCS#11 (labels, maker, model, serial): blank padded, never zero ended, and
// cut only between two UTF-8 characters.
#pragma once

#include <cstddef>
#include <string_view>

namespace quillard::module {

void copyBlankPadded(unsigned char* field, std::size_t size, std::string_view text);

// As copyBlankPadded(), but a text too long for the field is cut after its last whole word that fits, so
// a name reads as a name ("Zarto Virtual", never "Zarto Virtual Ke"); a first word longer than the field
// is cut between two characters.
void copyWholeWordsBlankPadded(unsigned char* field, std::size_t size, std::string_view text);

// The text of a blank-padded field, trailing blanks removed.
std::string_view trimBlankPadded(const unsigned char* field, std::size_t size);

} // namespace quillard::module
