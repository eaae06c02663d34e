// Changing a key's label: refused while the user PIN is locked and for a label of 32 or more bytes of UTF-8
// (the key keeps a label shorter than its 32-byte field); after the change the key table's record holds the
// new label, so nothing needs a new scan to show it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace token::flows {

enum class LabelResult { Set, UserPinLocked, TooLong, Refused };

// The longest label a key takes, in bytes of UTF-8.
constexpr std::size_t kLongestLabel = 31;

// Sets the label `label` (UTF-16, already trimmed by the caller) of `slot`.
LabelResult setKeyLabel(int32_t slot, const std::u16string& label);
// The same; `code` receives the library's code of a refused change (0 otherwise), which tells a key that
// was pulled out or cannot change its label.
LabelResult setKeyLabel(int32_t slot, const std::u16string& label, int32_t& code);

} // namespace token::flows
