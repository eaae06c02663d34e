#include "set_key_label.h"

#include "key_session.h"
#include "token/key_table.h"
#include "token/token_ops.h"
#include "token/utf16.h"

#include <cstring>

namespace token::flows {

namespace {

// The part of the record's label field that a label change rewrites.
constexpr std::size_t kLabelBufferSize = 64;

} // namespace

LabelResult setKeyLabel(int32_t slot, const std::u16string& label) {
    int32_t code = 0;
    return setKeyLabel(slot, label, code);
}

LabelResult setKeyLabel(int32_t slot, const std::u16string& label, int32_t& code) {
    code = 0;
    if (userPinLocked(slot))
        return LabelResult::UserPinLocked;
    const std::string utf8 = utf16ToUtf8(label);
    if (utf8.size() > kLongestLabel)
        return LabelResult::TooLong;
    if ((code = token_set_label(slot, label)) != 0)
        return LabelResult::Refused;
    char* recordLabel = keyTable().keys[slot].label;
    std::memset(recordLabel, 0, kLabelBufferSize);
    std::memcpy(recordLabel, utf8.data(), utf8.size());
    return LabelResult::Set;
}

} // namespace token::flows
