#include "escrow_command.h"

#include "cli_texts.h"
#include "escrowed_so_pin.h"
#include "failure.h"
#include "platform/secure_wipe.h"
#include "tools/common/usage_error.h"

namespace cli {

std::string EscrowCommand::usage() const {
    return "usage: pellorzu-cli escrow show KEY --records STORE --recovery-key FILE|URI [--pin-file FILE | "
           "--pin-stdin]\n"
           "Prints the SO PIN that provisioning with --random-so-pin gave the key, opened with the recovery\n"
           "key, on the last line of the output, and adds a record saying it was shown. The record is\n"
           "written first: when the store refuses it, nothing is shown. The recovery key is a PEM file, or "
           "a\n"
           "PKCS#11 URI of an RSA key on a token, which decrypts there (module-path= or module-name= in the\n"
           "URI's query; without them the module over the virtual keys).\n"
           "Secrets: the recovery key's pass phrase, only for an encrypted PEM file; or the user PIN of the\n"
           "token holding the recovery key.\n";
}

int EscrowCommand::run(Invocation& invocation) {
    invocation.expectAtMost(2);
    if (invocation.word(0, "show") != "show")
        throw tools::UsageError("unknown escrow action " + invocation.word(0, "show"));
    const std::unique_ptr<RecordBook> book = RecordBook::required(invocation, "to find the escrowed SO PIN");
    const FoundKey& key = invocation.key(1);
    const EscrowedSoPin escrowed = openEscrowedSoPin(invocation, *book, key);
    ProvisioningRecord shown = newRecord(QStringLiteral("escrow-show"), key, escrowed.record.label);
    settleRecord(shown, nullptr);
    shown.message = text("EscrowShownNote").arg(escrowed.record.time);
    book->store().append(shown);
    invocation.print(text("EscrowShown")
                         .arg(QString::fromStdString(key.serial), escrowed.record.time, escrowed.record.user,
                              escrowed.record.host));
    QString soPin = QString::fromLatin1(escrowed.soPin.bytes());
    invocation.print(soPin);
    platform::secureWipe(soPin);
    return kDone;
}

} // namespace cli
