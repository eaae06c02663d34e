#include "format_settings.h"

#include "cli_texts.h"
#include "config/init_config.h"
#include "failure.h"
#include "platform/terminal.h"
#include "token/flows/format_key.h"
#include "token/key_table.h"
#include "token/token_ops.h"
#include "user_session.h"

#include <QFileInfo>
#include <string_view>

namespace cli {

namespace {

std::string_view view(const QByteArray& bytes) {
    return std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

bool within(qsizetype length, int32_t minimum, int32_t maximum) {
    return length >= minimum && length <= maximum;
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
    using token::flows::FormatBlock;
    if (values.LabelName.isEmpty() || values.manufacture.isEmpty())
        throw Failure(kUsage, text("SettingsIncomplete"));
    if (!within(values.default_sopin.size(), values.minSOPINLen, values.maxSOPINLen))
        throw Failure(kUsage, windowText("SOPIN_E2"));
    if (!within(values.default_upin.size(), values.minUPINLen, values.maxUPINLen))
        throw Failure(kUsage, windowText("UPIN_E2"));
    const bool fits =
        static_cast<std::size_t>(values.LabelName.toUtf8().size()) <= FormatBlock::kLongestLabel &&
        static_cast<std::size_t>(values.manufacture.size()) <= FormatBlock::kTextField &&
        static_cast<std::size_t>(values.Issuer.size()) <= FormatBlock::kTextField &&
        static_cast<std::size_t>(values.default_sopin.size()) <= FormatBlock::kTextField &&
        static_cast<std::size_t>(values.default_upin.size()) <= FormatBlock::kTextField;
    if (!fits)
        throw Failure(kUsage, windowText("K_Len_Error"));
}

void formatKeyWith(const FoundKey& key, const TZartoBaseInfo& values,
                   const platform::SecretBytes* currentSoPin) {
    checkFormatSettings(values);
    const QByteArray label = values.LabelName.toUtf8();
    const token::flows::FormatTexts texts{view(label), view(values.manufacture), view(values.Issuer),
                                          view(values.default_sopin.bytes()),
                                          view(values.default_upin.bytes())};
    const token::flows::FormatLimits limits{values.uPinRetryTimes, values.soPinRetryTimes,
                                            values.minUPINLen,     values.maxUPINLen,
                                            values.minSOPINLen,    values.maxSOPINLen};
    const token::flows::FormatBlock block(texts, limits);
    const token::flows::FormatOutcome outcome = token::flows::formatKey(
        key.slot, block, currentSoPin ? currentSoPin->c_str() : nullptr, providerName());
    if (outcome.result != token::flows::FormatResult::Formatted)
        throw Failure(outcome.result == token::flows::FormatResult::SoPinRefused ? kPinRefused : kFailed,
                      refusalText(outcome));
    token::token_get_info(key.slot, token::keyTable().keys[key.slot]);
    token::keyTable().loginState[key.slot] = token::KeyPresent;
}

} // namespace cli
