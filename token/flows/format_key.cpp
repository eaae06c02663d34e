#include "format_key.h"

#include "token/token_ops.h"

namespace token::flows {

FormatOutcome formatKey(int32_t slot, const FormatBlock& block, const char* soPin,
                        const std::string& cspName) {
    // No user login may stay open under the SO login.
    logOutKey(slot);
    // On a PIN-pad reader an initialised key takes its SO PIN there: the login passes none.
    const bool soPinOnReader = !soPin && keyTable().keys[slot].initialised != 0 && pinsOnReader(slot);
    if (soPin || soPinOnReader) {
        const Login login = logInSo(slot, soPin);
        if (!login.succeeded())
            return {FormatResult::SoPinRefused, login.code, login.triesLeft};
    }
    const int32_t code = token_format(slot, block.params());
    if (code != 0) {
        logOutKey(slot);
        return {FormatResult::FormatFailed, code, 0};
    }
    // The format ended every login; the key's certificates are gone, so are their store entries.
    remove_all_certs_from_store(cspName);
    return {FormatResult::Formatted, 0, 0};
}

} // namespace token::flows
