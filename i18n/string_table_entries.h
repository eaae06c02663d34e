// The fixed entries of the string table: key, built-in text (UTF-8) and what the entry becomes when a loaded
// language file lacks the key.
#pragma once

#include <span>

namespace i18n {

enum class MissingKey {
    Blank, // the entry becomes a single blank
    Empty, // the entry becomes the empty text
};

struct StringTableEntry {
    const char* key;
    const char* builtInText;
    MissingKey missing;
};

// All 203 entries, in table order.
std::span<const StringTableEntry> stringTableEntries();

} // namespace i18n
