// Reading UTF-8 text: one decoder for the strict check of key labels and the tolerant conversion of
// certificate names to UTF-16. Well-formed means no overlong form, no surrogate and nothing past U+10FFFF.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quillard {

// Decodes the character starting at `text[position]` and moves `position` past it. A malformed or cut-off
// sequence gives nothing and is skipped as far as it was well-formed, at least one byte.
std::optional<char32_t> nextUtf8Character(std::string_view text, std::size_t& position);

bool isWellFormedUtf8(std::string_view text);

// UTF-8 to UTF-16, at most `limit` units; each malformed sequence becomes U+FFFD, and a character that does
// not fit whole is left out, so a surrogate pair is never split.
std::u16string utf8ToUtf16(std::string_view text, std::size_t limit);

// The text as a terminal may show it: every control character (U+0000 to U+001F, U+007F, U+0080 to
// U+009F) and every byte of a malformed sequence written as \xHH, so a label from a key can neither steer
// the terminal nor start a line of its own. The rest stays as it is.
std::string escapeControls(std::string_view text);

} // namespace quillard
