#include "so_pin_checks.h"

#include "cli_texts.h"
#include "failure.h"
#include "token/flows/key_session.h"
#include "user_session.h"

namespace cli {

void requireUsableSoPin(const FoundKey& key) {
    requireInitialised(key);
    if (token::flows::soPinLocked(key.slot))
        throw Failure(kPinRefused, windowText("K_Dead"));
}

} // namespace cli
