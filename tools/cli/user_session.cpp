#include "user_session.h"

#include "cli_texts.h"
#include "failure.h"
#include "i18n/outcome_texts.h"
#include "i18n/string_table.h"
#include "token/flows/key_session.h"

namespace cli {

UserSession::UserSession(Invocation& invocation, const FoundKey& key) : slot_(key.slot) {
    requireUsablePin(key, token::PinType::User);
    // On a PIN-pad reader nothing is prompted: the library is called without a PIN and the reader asks.
    const bool onReader = token::keyTable().hasFlag(slot_, QUILLARD_TOKEN_PIN_PAD);
    platform::SecretBytes pin;
    if (onReader)
        invocation.warn(windowText("K_PinOnReader"));
    else
        pin = invocation.secrets().next(text("UserPinPrompt"));
    const token::flows::Login login =
        token::flows::openCheckedUserSession(slot_, onReader ? nullptr : pin.c_str());
    if (login.keyRemoved())
        throw Failure(kNoSuchKey, windowText("K_Key_Remove"));
    if (!login.succeeded())
        throw Failure(kPinRefused, i18n::refusedLoginText(login.triesLeft, cliStyle()));
}

UserSession::~UserSession() {
    token::flows::logOutKey(slot_);
}

void requireUsablePin(const FoundKey& key, token::PinType type) {
    const token::flows::PinCheck check = token::flows::checkPin(key.slot, type);
    if (check != token::flows::PinCheck::Usable)
        throw Failure(check == token::flows::PinCheck::Locked ? kPinRefused : kFailed,
                      i18n::pinCheckText(check, cliStyle()));
}

std::string providerName() {
    return i18n::text("PROVIDER_NAME").toLocal8Bit().toStdString();
}

} // namespace cli
