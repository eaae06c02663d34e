#include "unlock_command.h"

#include "cli_texts.h"
#include "escrowed_so_pin.h"
#include "failure.h"
#include "record_book.h"
#include "token/flows/unlock_user_pin.h"
#include "tools/common/usage_error.h"
#include "user_session.h"

namespace cli {

namespace {

void unlockWith(const FoundKey& key, const platform::SecretBytes& soPin, const platform::SecretBytes& newPin,
                bool onReader) {
    using token::flows::pinOrReader;
    using token::flows::UnlockResult;
    const auto outcome = token::flows::unlockUserPin(key.slot, pinOrReader(soPin.c_str(), onReader),
                                                     pinOrReader(newPin.c_str(), onReader));
    switch (outcome.result) {
    case UnlockResult::SoPinRefused:
        throw Failure(kPinRefused, windowText("SOPIN_Error"));
    case UnlockResult::Failed:
        throw Failure(kFailed, failureText(windowText("Change_No"), outcome.code));
    case UnlockResult::Unlocked:
        break;
    }
}

} // namespace

std::string UnlockCommand::usage() const {
    return "usage: pellorzu-cli unlock KEY [--records STORE [--recovery-key FILE|URI]] [--pin-file FILE | "
           "--pin-stdin]\n"
           "Sets a new user PIN with the SO PIN, which also unlocks a locked user PIN. It spends at most "
           "one\n"
           "SO PIN try: the SO PIN is proven by the change itself. At a terminal the new user PIN is typed\n"
           "twice.\n"
           "With --records STORE the unlock is recorded. With --recovery-key too, the SO PIN is not asked\n"
           "for: the one escrowed for the key by 'provision --random-so-pin' is taken from the records and\n"
           "opened with the recovery key; nobody sees it. The recovery key is a PEM file, or a PKCS#11 URI\n"
           "of an RSA key on a token, which decrypts there (module-path= or module-name= in the URI's "
           "query;\n"
           "without them the module over the virtual keys). A recovery key that does not open it changes\n"
           "nothing.\n"
           "Secrets: the SO PIN (with --recovery-key: the recovery key's pass phrase, only for an encrypted\n"
           "PEM file, or the user PIN of the token holding it), then the new user PIN.\n";
}

int UnlockCommand::run(Invocation& invocation) {
    invocation.expectAtMost(1);
    const std::unique_ptr<RecordBook> book = RecordBook::of(invocation);
    const bool recovery = invocation.arguments().has("recovery-key");
    if (recovery && !book)
        throw tools::UsageError("--recovery-key needs --records STORE, where the SO PIN is escrowed");
    const FoundKey& key = invocation.writableKey(0);
    requireUsablePin(key, token::PinType::So);
    const bool onReader = pinsTypedOnReader(invocation, key);
    if (onReader && recovery)
        throw tools::UsageError(
            "--recovery-key cannot be used on a PIN-pad reader: its PINs are typed there");
    const platform::SecretBytes soPin = recovery
                                            ? openEscrowedSoPin(invocation, *book, key).soPin
                                            : pinUnlessOnReader(invocation, onReader, text("SoPinPrompt"));
    const platform::SecretBytes newPin =
        newPinUnlessOnReader(invocation, onReader, text("NewUserPinPrompt"), text("AgainPrompt"));
    const auto unlock = [&] { unlockWith(key, soPin, newPin, onReader); };
    if (book) {
        ProvisioningRecord record = newRecord(QStringLiteral("unlock"), key, currentLabel(key));
        record.settings.insert(QStringLiteral("recoveryKey"), recovery);
        book->runRecorded(std::move(record), unlock);
    } else {
        unlock();
    }
    invocation.print(windowText("Change_Yes"));
    return kDone;
}

} // namespace cli
