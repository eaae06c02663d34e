#include "change_pin_command.h"

#include "cli_texts.h"
#include "failure.h"
#include "i18n/outcome_texts.h"
#include "token/flows/change_user_pin.h"
#include "token/key_table.h"
#include "user_session.h"

namespace cli {

std::string ChangePinCommand::usage() const {
    return "usage: pellorzu-cli change-pin KEY [--pin-file FILE | --pin-stdin]\n"
           "Changes the user PIN. The old PIN is proven by a login first, so a wrong one costs a try and "
           "the\n"
           "message says how many are left. The new PIN must hold the key's PIN length limits. At a "
           "terminal\n"
           "the new PIN is typed twice.\n"
           "Secrets: the old user PIN, then the new one.\n";
}

int ChangePinCommand::run(Invocation& invocation) {
    invocation.expectAtMost(1);
    const FoundKey& key = invocation.writableKey(0);
    requireUsablePin(key, token::PinType::User);
    const bool onReader = pinsTypedOnReader(invocation, key);
    const platform::SecretBytes oldPin = pinUnlessOnReader(invocation, onReader, text("OldUserPinPrompt"));
    const platform::SecretBytes newPin =
        newPinUnlessOnReader(invocation, onReader, text("NewUserPinPrompt"), text("AgainPrompt"));
    using token::flows::pinOrReader;
    using token::flows::UserPinChangeResult;
    const auto outcome = token::flows::changeUserPin(key.slot, pinOrReader(oldPin.c_str(), onReader),
                                                     pinOrReader(newPin.c_str(), onReader));
    switch (outcome.result) {
    case UserPinChangeResult::NewPinLengthOutside: {
        const token::TZartoInfo& record = token::keyTable().keys[key.slot];
        throw Failure(kPinRefused,
                      i18n::newPinLengthText(record.minPinLength, record.maxPinLength, cliStyle()));
    }
    case UserPinChangeResult::KeyRemoved:
        throw Failure(kNoSuchKey, windowText("K_Key_Remove"));
    case UserPinChangeResult::OldPinRefused:
        throw Failure(kPinRefused, i18n::refusedOldPinText(outcome.triesLeft, cliStyle()));
    case UserPinChangeResult::ChangeFailed:
        throw Failure(kFailed, failureText(windowText("K_Set_No"), outcome.code));
    case UserPinChangeResult::Changed:
        break;
    }
    invocation.print(windowText("K_Set_Yes"));
    return kDone;
}

} // namespace cli
