// How pellorzu-vkey reports a failed library operation: the code's name and value, then the explanation.
#pragma once

#include <cstdint>
#include <string>

namespace vkey {

// "CKR_PIN_INCORRECT (0x000000A0): the user PIN is wrong" — `detail` is left out when empty.
std::string failureText(int32_t code, const std::string& detail = {});

} // namespace vkey
