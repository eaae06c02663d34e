// PINs that no person chooses: each character drawn from OpenSSL's random generator, uniformly from the
// digits, so every key provisioned with a random PIN gets its own and any key accepts it.
#pragma once

#include "platform/secret_bytes.h"

#include <cstdint>

namespace cli {

// A random PIN of `wanted` digits, or the nearest length between `minimum` and `maximum` (and never more
// than `longest`). A Failure when the random generator fails or no length fits.
platform::SecretBytes randomPin(int32_t wanted, int32_t minimum, int32_t maximum, int32_t longest);

} // namespace cli
