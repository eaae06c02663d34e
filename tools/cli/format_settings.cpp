#include "format_settings.h"

#include "cli_texts.h"
#include "config/format_values_of.h"
#include "config/init_config.h"
#include "failure.h"
#include "platform/terminal.h"
#include "token/flows/format_key.h"
#include "token/flows/format_values.h"
#include "token/key_table.h"
#include "token/token_ops.h"
#include "user_session.h"

#include <QFileInfo>
#include <string_view>

namespace cli {

namespace {

bool within(qsizetype length, int32_t minimum, int32_t maximum) {
    return length >= minimum && length <= maximum;
}

// A Failure naming the first value that does not fit its field of the block.
void checkValuesFit(const TZartoBaseInfo& values) {
    using token::flows::FormatValueProblem;
    const QByteArray label = values.LabelName.toUtf8();
    const token::flows::FormatValuesCheck check =
        token::flows::checkFormatValues(config::formatTextsOf(values, label), config::formatLimitsOf(values));
    const QString field = QString::fromLatin1(token::flows::formatFieldKey(check.field));
    switch (check.problem) {
    case FormatValueProblem::None:
        return;
    case FormatValueProblem::TooLong:
        throw Failure(kUsage, text("SettingsValueTooLong").arg(field).arg(check.maximum));
    case FormatValueProblem::ZeroByte:
        throw Failure(kUsage, text("SettingsValueZeroByte").arg(field));
    case FormatValueProblem::OutOfRange:
        throw Failure(kUsage,
                      text("SettingsValueOutOfRange").arg(field).arg(check.minimum).arg(check.maximum));
    }
}

QString refusalText(const token::flows::FormatOutcome& outcome) {
    if (outcome.result != token::flows::FormatResult::SoPinRefused)
        return failureText(windowText("Change_No"), outcome.code);
    return i18n::refusedOldPinText(outcome.triesLeft, cliStyle());
}

} // namespace

TZartoBaseInfo readFormatSettings(const QString& path) {
    if (!QFileInfo(path).isFile())
        throw Failure(kFileProblem, text("FileUnreadable").arg(path));
    if (platform::readableByOthers(path))
        throw Failure(kFileProblem, text("SettingsFileOpen").arg(path));
    TZartoBaseInfo values;
    if (ReadInitConfig(path, values) != 0)
        throw Failure(kFileProblem, text("FileUnreadable").arg(path));
    return values;
}

void checkFormatSettings(const TZartoBaseInfo& values) {
    if (values.LabelName.isEmpty() || values.manufacture.isEmpty())
        throw Failure(kUsage, text("SettingsIncomplete"));
    checkValuesFit(values);
    if (!within(values.default_sopin.size(), values.minSOPINLen, values.maxSOPINLen))
        throw Failure(kUsage, windowText("SOPIN_E2"));
    if (!within(values.default_upin.size(), values.minUPINLen, values.maxUPINLen))
        throw Failure(kUsage, windowText("UPIN_E2"));
}

void formatKeyWith(const FoundKey& key, const TZartoBaseInfo& values,
                   const platform::SecretBytes* currentSoPin) {
    checkFormatSettings(values);
    const QByteArray label = values.LabelName.toUtf8();
    // A PIN-pad reader is given no PINs: it asks for the SO PIN and the new user PIN itself.
    const bool onReader = token::flows::pinsOnReader(key.slot);
    const token::flows::FormatBlock block(config::formatTextsOf(values, label, !onReader),
                                          config::formatLimitsOf(values));
    const char* soPin = currentSoPin && !onReader ? currentSoPin->c_str() : nullptr;
    const token::flows::FormatOutcome outcome =
        token::flows::formatKey(key.slot, block, soPin, providerName());
    if (outcome.result != token::flows::FormatResult::Formatted)
        throw Failure(outcome.result == token::flows::FormatResult::SoPinRefused ? kPinRefused : kFailed,
                      refusalText(outcome));
    token::token_get_info(key.slot, token::keyTable().keys[key.slot]);
    token::keyTable().loginState[key.slot] = token::KeyPresent;
}

} // namespace cli
