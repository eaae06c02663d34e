// Whether the values of a format fit the fields of the block the key receives, checked before the block is
// built: every text in its field's bytes and free of zero bytes (a zero would end it early, so the key would
// get a shorter PIN or label than the one typed), every count and length in the one byte it is sent as.
// A value that does not fit is refused with its field named, never cut to fit.
#pragma once

#include "format_block.h"

#include <cstdint>

namespace token::flows {

enum class FormatField {
    None,
    Label,
    Manufacturer,
    Issuer,
    SoPin,
    UserPin,
    UserPinRetries,
    SoPinRetries,
    UserPinMinLength,
    UserPinMaxLength,
    SoPinMinLength,
    SoPinMaxLength,
};

enum class FormatValueProblem {
    None,
    TooLong,    // a text of more bytes than `maximum`
    ZeroByte,   // a text holding a zero byte
    OutOfRange, // a number outside `minimum` to `maximum`
};

struct FormatValuesCheck {
    FormatField field = FormatField::None;
    FormatValueProblem problem = FormatValueProblem::None;
    int64_t minimum = 0; // the field's limits: bytes for a text, values for a number
    int64_t maximum = 0;

    bool fits() const { return problem == FormatValueProblem::None; }
};

// The first value of `texts` and `limits` (in the order of FormatField) that does not fit its field, or a
// check that fits() when all do.
FormatValuesCheck checkFormatValues(const FormatTexts& texts, const FormatLimits& limits);

// The field's key in the [InitData] section of a settings file: "LabelName", "default_upin",
// "uPinRetryTimes", ...
const char* formatFieldKey(FormatField field);

} // namespace token::flows
