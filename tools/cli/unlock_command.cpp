#include "unlock_command.h"

#include "cli_texts.h"
#include "failure.h"
#include "token/flows/unlock_user_pin.h"
#include "user_session.h"

namespace cli {

std::string UnlockCommand::usage() const {
    return "usage: pellorzu-cli unlock KEY [--pin-file FILE | --pin-stdin]\n"
           "Sets a new user PIN with the SO PIN, which also unlocks a locked user PIN. It spends at most "
           "one\n"
           "SO PIN try: the SO PIN is proven by the change itself. At a terminal the new user PIN is typed\n"
           "twice.\n"
           "Secrets: the SO PIN, then the new user PIN.\n";
}

int UnlockCommand::run(Invocation& invocation) {
    invocation.expectAtMost(1);
    const FoundKey& key = invocation.key(0);
    requireUsablePin(key, token::PinType::So);
    const platform::SecretBytes soPin = invocation.secrets().next(text("SoPinPrompt"));
    const platform::SecretBytes newPin =
        invocation.secrets().nextNew(text("NewUserPinPrompt"), text("AgainPrompt"));
    using token::flows::UnlockResult;
    const auto outcome = token::flows::unlockUserPin(key.slot, soPin.c_str(), newPin.c_str());
    switch (outcome.result) {
    case UnlockResult::SoPinRefused:
        throw Failure(kPinRefused, windowText("SOPIN_Error"));
    case UnlockResult::Failed:
        throw Failure(kFailed, failureText(windowText("Change_No"), outcome.code));
    case UnlockResult::Unlocked:
        break;
    }
    invocation.print(windowText("Change_Yes"));
    return kDone;
}

} // namespace cli
