// The 166-byte parameter block of a format, built from the values of the initialisation page. The block
// holds both new PINs, so it is wiped when it goes.
#pragma once

#include "token/lib/quillard.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace token::flows {

// The texts as the key receives them: the label in UTF-8, the others in the locale's 8-bit form.
struct FormatTexts {
    std::string_view label;
    std::string_view manufacturer;
    std::string_view issuer;
    std::string_view soPin;
    std::string_view userPin;
};

// The spin values; each is sent as its low byte.
struct FormatLimits {
    int32_t userPinRetries = 0;
    int32_t soPinRetries = 0;
    int32_t userPinMinLength = 0;
    int32_t userPinMaxLength = 0;
    int32_t soPinMinLength = 0;
    int32_t soPinMaxLength = 0;
};

class FormatBlock {
public:
    // Bytes of each text field of the block.
    static constexpr std::size_t kTextField = 32;
    // The label must leave room for its terminating zero.
    static constexpr std::size_t kLongestLabel = kTextField - 1;

    // The zeroed block with the texts copied to the start of their fields. Callers refuse texts longer than
    // their field (a cut PIN would be one nobody typed); a longer text is cut here only so the block is
    // never overrun.
    FormatBlock(const FormatTexts& texts, const FormatLimits& limits);
    ~FormatBlock();
    FormatBlock(const FormatBlock&) = delete;
    FormatBlock& operator=(const FormatBlock&) = delete;

    const TFormatParams& params() const { return params_; }

private:
    TFormatParams params_;
};

} // namespace token::flows
