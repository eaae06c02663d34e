#include "change_so_pin_command.h"

#include "cli_texts.h"
#include "failure.h"
#include "i18n/outcome_texts.h"
#include "record_book.h"
#include "token/flows/change_so_pin.h"
#include "user_session.h"

namespace cli {

std::string ChangeSoPinCommand::usage() const {
    return "usage: pellorzu-cli change-so-pin KEY [--pin-file FILE | --pin-stdin]\n"
           "Changes the SO PIN: the key is logged out, the old SO PIN proven by an SO login, then changed; "
           "the\n"
           "key ends logged out. At a terminal the new SO PIN is typed twice.\n"
           "With --records STORE the change is recorded; an SO PIN escrowed before is then no longer the\n"
           "key's.\n"
           "Secrets: the old SO PIN, then the new one.\n";
}

int ChangeSoPinCommand::run(Invocation& invocation) {
    invocation.expectAtMost(1);
    const std::unique_ptr<RecordBook> book = RecordBook::of(invocation);
    const FoundKey& key = invocation.writableKey(0);
    requireUsablePin(key, token::PinType::So);
    const bool onReader = pinsTypedOnReader(invocation, key);
    const platform::SecretBytes oldPin = pinUnlessOnReader(invocation, onReader, text("OldSoPinPrompt"));
    const platform::SecretBytes newPin =
        newPinUnlessOnReader(invocation, onReader, text("NewSoPinPrompt"), text("AgainPrompt"));
    const auto change = [&] {
        using token::flows::pinOrReader;
        using token::flows::SoPinChangeResult;
        const auto outcome = token::flows::changeSoPin(key.slot, pinOrReader(oldPin.c_str(), onReader),
                                                       pinOrReader(newPin.c_str(), onReader));
        switch (outcome.result) {
        case SoPinChangeResult::OldPinRefused:
            throw Failure(kPinRefused, i18n::refusedOldPinText(outcome.triesLeft, cliStyle()));
        case SoPinChangeResult::ChangeFailed:
            throw Failure(kFailed, failureText(windowText("K_Set_No"), outcome.code));
        case SoPinChangeResult::Changed:
            break;
        }
    };
    if (book)
        book->runRecorded(newRecord(QStringLiteral("change-so-pin"), key, currentLabel(key)), change);
    else
        change();
    invocation.print(windowText("Change_Yes"));
    return kDone;
}

} // namespace cli
