#include "format_command.h"

#include "cli_texts.h"
#include "failure.h"
#include "format_settings.h"
#include "record_book.h"
#include "token/flows/key_session.h"
#include "token/key_table.h"
#include "tools/common/usage_error.h"
#include "user_session.h"

#include <optional>

namespace cli {

std::string FormatCommand::usage() const {
    return "usage: pellorzu-cli format KEY --settings FILE [--pin-file FILE | --pin-stdin]\n"
           "Initialises (formats) the key: every container and certificate on it is deleted, and it gets "
           "the\n"
           "label, manufacturer, issuer, PIN length limits, retry counts and new PINs of the settings file.\n"
           "The settings file is an INI file with the [InitData] section of Initconfig.ini:\n"
           "  [InitData]\n"
           "  LabelName=Alice            ; fewer than 32 bytes of UTF-8\n"
           "  manufacture=Norvale        ; at most 32 bytes\n"
           "  Issuer=IT department       ; at most 32 bytes\n"
           "  default_sopin=87654321     ; the new SO PIN\n"
           "  default_upin=12345678      ; the new user PIN\n"
           "  uPinRetryTimes=10          ; soPinRetryTimes=10\n"
           "  minUPINLen=4               ; maxUPINLen=32, minSOPINLen=4, maxSOPINLen=32\n"
           "A missing count takes the default shown. The file holds PINs: it is refused when group or "
           "others\n"
           "may read it (chmod 600 FILE).\n"
           "With --records STORE the format is recorded (see 'pellorzu-cli help records').\n"
           "Secrets: the key's current SO PIN, when the key was initialised before.\n";
}

int FormatCommand::run(Invocation& invocation) {
    invocation.expectAtMost(1);
    const std::optional<std::string> settingsPath = invocation.arguments().text("settings");
    if (!settingsPath)
        throw tools::UsageError("--settings FILE is needed");
    const TZartoBaseInfo values = readFormatSettings(QString::fromLocal8Bit(*settingsPath));
    checkFormatSettings(values);
    const std::unique_ptr<RecordBook> book = RecordBook::of(invocation);
    const FoundKey& key = invocation.writableKey(0);
    std::optional<platform::SecretBytes> soPin;
    if (token::keyTable().keys[key.slot].initialised != 0) {
        requireUsablePin(key, token::PinType::So);
        if (!pinsTypedOnReader(invocation, key))
            soPin = invocation.secrets().next(text("CurrentSoPinPrompt"));
    }
    const auto format = [&] { formatKeyWith(key, values, soPin ? &*soPin : nullptr); };
    if (book) {
        ProvisioningRecord record = newRecord(QStringLiteral("format"), key, values.LabelName);
        record.settings = settingsRecord(values);
        book->runRecorded(std::move(record), format);
    } else {
        format();
    }
    invocation.print(windowText("Change_Yes"));
    return kDone;
}

} // namespace cli
