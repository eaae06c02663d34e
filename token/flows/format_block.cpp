#include "format_block.h"

#include <algorithm>
#include <cstring>

namespace token::flows {

namespace {

static_assert(sizeof(TFormatParams) == 166, "the block the library reads");

void copyText(char (&field)[FormatBlock::kTextField], std::string_view text) {
    // An empty text (no PINs for a PIN-pad reader) may have no data at all: nothing is copied from it.
    if (!text.empty())
        std::memcpy(field, text.data(), std::min(text.size(), sizeof field));
}

// Overwrites memory that held PINs; the volatile access keeps the compiler from dropping the stores.
void wipe(void* memory, std::size_t size) {
    volatile unsigned char* bytes = static_cast<volatile unsigned char*>(memory);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = 0;
}

} // namespace

FormatBlock::FormatBlock(const FormatTexts& texts, const FormatLimits& limits) {
    std::memset(&params_, 0, sizeof params_);
    copyText(params_.label, texts.label.substr(0, kLongestLabel));
    copyText(params_.manufacturer, texts.manufacturer);
    copyText(params_.issuer, texts.issuer);
    copyText(params_.so_pin, texts.soPin);
    copyText(params_.user_pin, texts.userPin);
    params_.user_pin_retries = static_cast<uint8_t>(limits.userPinRetries);
    params_.so_pin_retries = static_cast<uint8_t>(limits.soPinRetries);
    params_.user_pin_min_len = static_cast<uint8_t>(limits.userPinMinLength);
    params_.user_pin_max_len = static_cast<uint8_t>(limits.userPinMaxLength);
    params_.so_pin_min_len = static_cast<uint8_t>(limits.soPinMinLength);
    params_.so_pin_max_len = static_cast<uint8_t>(limits.soPinMaxLength);
}

FormatBlock::~FormatBlock() {
    wipe(&params_, sizeof params_);
}

} // namespace token::flows
