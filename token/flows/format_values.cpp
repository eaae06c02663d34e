#include "format_values.h"

#include <array>
#include <limits>
#include <string_view>
#include <utility>

namespace token::flows {

namespace {

// The counts and lengths each travel as one unsigned byte of the block.
constexpr int64_t kLargestByte = std::numeric_limits<uint8_t>::max();

FormatValuesCheck textCheck(FormatField field, std::string_view text, std::size_t longest) {
    if (text.size() > longest)
        return {field, FormatValueProblem::TooLong, 0, static_cast<int64_t>(longest)};
    if (text.find('\0') != std::string_view::npos)
        return {field, FormatValueProblem::ZeroByte, 0, static_cast<int64_t>(longest)};
    return {};
}

FormatValuesCheck byteCheck(FormatField field, int32_t value) {
    if (value < 0 || value > kLargestByte)
        return {field, FormatValueProblem::OutOfRange, 0, kLargestByte};
    return {};
}

} // namespace

FormatValuesCheck checkFormatValues(const FormatTexts& texts, const FormatLimits& limits) {
    const std::array<std::pair<FormatField, std::string_view>, 5> textFields{{
        {FormatField::Label, texts.label},
        {FormatField::Manufacturer, texts.manufacturer},
        {FormatField::Issuer, texts.issuer},
        {FormatField::SoPin, texts.soPin},
        {FormatField::UserPin, texts.userPin},
    }};
    for (const auto& [field, text] : textFields) {
        const std::size_t longest =
            field == FormatField::Label ? FormatBlock::kLongestLabel : FormatBlock::kTextField;
        if (FormatValuesCheck check = textCheck(field, text, longest); !check.fits())
            return check;
    }
    const std::array<std::pair<FormatField, int32_t>, 6> byteFields{{
        {FormatField::UserPinRetries, limits.userPinRetries},
        {FormatField::SoPinRetries, limits.soPinRetries},
        {FormatField::UserPinMinLength, limits.userPinMinLength},
        {FormatField::UserPinMaxLength, limits.userPinMaxLength},
        {FormatField::SoPinMinLength, limits.soPinMinLength},
        {FormatField::SoPinMaxLength, limits.soPinMaxLength},
    }};
    for (const auto& [field, value] : byteFields)
        if (FormatValuesCheck check = byteCheck(field, value); !check.fits())
            return check;
    return {};
}

const char* formatFieldKey(FormatField field) {
    switch (field) {
    case FormatField::Label:
        return "LabelName";
    case FormatField::Manufacturer:
        return "manufacture";
    case FormatField::Issuer:
        return "Issuer";
    case FormatField::SoPin:
        return "default_sopin";
    case FormatField::UserPin:
        return "default_upin";
    case FormatField::UserPinRetries:
        return "uPinRetryTimes";
    case FormatField::SoPinRetries:
        return "soPinRetryTimes";
    case FormatField::UserPinMinLength:
        return "minUPINLen";
    case FormatField::UserPinMaxLength:
        return "maxUPINLen";
    case FormatField::SoPinMinLength:
        return "minSOPINLen";
    case FormatField::SoPinMaxLength:
        return "maxSOPINLen";
    case FormatField::None:
        break;
    }
    return "";
}

} // namespace token::flows
