#include "key_label.h"

#include "token/lib/utf8_text.h"

namespace quillard::softkey {

bool KeyLabel::isValid(std::string_view label) {
    return label.size() <= kLongestLabel && label.find('\0') == std::string_view::npos &&
           isWellFormedUtf8(label);
}

} // namespace quillard::softkey
