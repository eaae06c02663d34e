#include "escrowed_so_pin.h"

#include "cli_texts.h"
#include "failure.h"
#include "pin_escrow.h"
#include "usage_error.h"

namespace cli {

EscrowedSoPin openEscrowedSoPin(Invocation& invocation, RecordBook& book, const FoundKey& key) {
    const std::optional<std::string> path = invocation.arguments().text("recovery-key");
    if (!path)
        throw tools::UsageError("--recovery-key FILE is needed");
    ProvisioningRecord record = book.currentSoPinEscrow(key);
    const RecoveryKey recoveryKey(QString::fromLocal8Bit(*path), [&invocation] {
        return invocation.secrets().next(text("PassPhrasePrompt"));
    });
    platform::SecretBytes soPin = recoveryKey.open(record.soPinEscrow);
    return {std::move(record), std::move(soPin)};
}

} // namespace cli
