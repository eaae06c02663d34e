// The rule for key labels: well-formed UTF-8 of fewer than 32 bytes without a zero byte, so it always fits a
// 32-byte field with its terminating zero.
#pragma once

#include <cstddef>
#include <string_view>

namespace quillard::softkey {

class KeyLabel {
public:
    static constexpr std::size_t kLongestLabel = 31;

    static bool isValid(std::string_view label);
};

} // namespace quillard::softkey
