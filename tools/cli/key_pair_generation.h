// Making a key pair on a logged-in key for the enrolment commands: the algorithm word checked, the kinds
// the key offers and the place asked for, then the pair made.
#pragma once

#include "invocation.h"
#include "token/flows/key_enrolment.h"

#include <string>

namespace cli {

// The kind an algorithm word names; a usage error for another word.
token::KeyPairKind keyKindFrom(const std::string& word);

// Checks that `key` makes pairs of `kind` and that `place` is free, then makes the pair there. A Failure
// saying which when one of them does not hold or the key fails.
void generateKeyPair(const FoundKey& key, const token::flows::KeyPlace& place,
                     const token::KeyPairKind& kind);

} // namespace cli
