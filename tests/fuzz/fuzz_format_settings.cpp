// The settings file of a format (the [InitData] section): any file reads without harm, and values that pass
// the check against the block's fields reach the block exactly as they were written, never cut.
#include "config/init_config.h"
#include "fuzz_input_file.h"
#include "token/flows/format_values.h"

#include <cstring>
#include <string_view>

namespace {

std::string_view view(const QByteArray& bytes) {
    return std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

bool sentAsWritten(const char* field, std::size_t size, std::string_view text) {
    return text.size() <= size && std::memcmp(field, text.data(), text.size()) == 0 &&
           (text.size() == size || field[text.size()] == '\0');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static FuzzInputFile input(".ini");
    TZartoBaseInfo values;
    if (ReadInitConfig(QString::fromStdString(input.write(data, size)), values) != 0)
        return 0;
    const QByteArray label = values.LabelName.toUtf8();
    const token::flows::FormatTexts texts{view(label), view(values.manufacture), view(values.Issuer),
                                          view(values.default_sopin.bytes()),
                                          view(values.default_upin.bytes())};
    const token::flows::FormatLimits limits{values.uPinRetryTimes, values.soPinRetryTimes,
                                            values.minUPINLen,     values.maxUPINLen,
                                            values.minSOPINLen,    values.maxSOPINLen};
    const token::flows::FormatValuesCheck check = token::flows::checkFormatValues(texts, limits);
    if (!check.fits()) {
        require(check.field != token::flows::FormatField::None);
        require(std::strlen(token::flows::formatFieldKey(check.field)) > 0);
        return 0;
    }
    const token::flows::FormatBlock block(texts, limits);
    const TFormatParams& params = block.params();
    require(sentAsWritten(params.label, sizeof params.label - 1, texts.label));
    require(sentAsWritten(params.manufacturer, sizeof params.manufacturer, texts.manufacturer));
    require(sentAsWritten(params.issuer, sizeof params.issuer, texts.issuer));
    require(sentAsWritten(params.so_pin, sizeof params.so_pin, texts.soPin));
    require(sentAsWritten(params.user_pin, sizeof params.user_pin, texts.userPin));
    require(params.user_pin_retries == limits.userPinRetries && params.so_pin_retries == limits.soPinRetries);
    require(params.user_pin_min_len == limits.userPinMinLength &&
            params.user_pin_max_len == limits.userPinMaxLength);
    require(params.so_pin_min_len == limits.soPinMinLength && params.so_pin_max_len == limits.soPinMaxLength);
    return 0;
}
