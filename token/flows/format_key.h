// Formatting a key. On a key that was initialised before, the key is logged out, the SO login is made with
// the current SO PIN and stays open into token_format: the library wipes an initialised key only under the
// SO login. The system-store entries of the provider go only after the format succeeded, so a failed format
// loses nothing. The key ends logged out in every case.
#pragma once

#include "format_block.h"
#include "key_session.h"

#include <cstdint>
#include <string>

namespace token::flows {

enum class FormatResult { Formatted, SoPinRefused, FormatFailed };
using FormatOutcome = Outcome<FormatResult>;

// Formats `slot` with `block`. `soPin` is the current SO PIN of an initialised key, or nullptr for a key that
// was never initialised (formatted without the SO login), or nullptr on a PIN-pad reader, where the SO
// PIN of an initialised key is typed on the reader (and `block` carries no PINs: the reader asks for the new
// user PIN and keeps the SO PIN). `cspName` names the provider whose store entries
// are removed after a successful format.
FormatOutcome formatKey(int32_t slot, const FormatBlock& block, const char* soPin,
                        const std::string& cspName);

} // namespace token::flows
