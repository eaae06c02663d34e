#include "escrowed_so_pin.h"

#include "cli_texts.h"
#include "failure.h"
#include "pin_escrow.h"
#include "token_recovery_key.h"
#include "tools/common/usage_error.h"

namespace cli {

EscrowedSoPin openEscrowedSoPin(Invocation& invocation, RecordBook& book, const FoundKey& key) {
    const std::optional<std::string> path = invocation.arguments().text("recovery-key");
    if (!path)
        throw tools::UsageError("--recovery-key FILE or PKCS#11 URI is needed");
    ProvisioningRecord record = book.currentSoPinEscrow(key);
    const QString location = QString::fromLocal8Bit(*path);
    platform::SecretBytes soPin =
        Pkcs11Uri::looksLike(location)
            ? TokenRecoveryKey(location,
                               [&invocation] { return invocation.secrets().next(text("TokenPinPrompt")); })
                  .open(record.soPinEscrow)
            : RecoveryKey(location, [&invocation] {
                  return invocation.secrets().next(text("PassPhrasePrompt"));
              }).open(record.soPinEscrow);
    return {std::move(record), std::move(soPin)};
}

} // namespace cli
