// The values of a format (from Initconfig.ini, a settings file or the initialisation page) in the form the
// format block and its checks take them.
#pragma once

#include "config/zarto_base_info.h"
#include "token/flows/format_block.h"

#include <QByteArray>
#include <string_view>

namespace config {

// The five texts; the label is taken from `labelBytes`, its UTF-8 bytes, which must outlive the result.
// Without `withPins` (a key on a PIN-pad reader, which asks for them itself) the two PINs are empty.
inline token::flows::FormatTexts formatTextsOf(const TZartoBaseInfo& values, const QByteArray& labelBytes,
                                               bool withPins = true) {
    const auto view = [](const QByteArray& bytes) {
        return std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    };
    if (!withPins)
        return {view(labelBytes), view(values.manufacture), view(values.Issuer), {}, {}};
    return {view(labelBytes), view(values.manufacture), view(values.Issuer),
            view(values.default_sopin.bytes()), view(values.default_upin.bytes())};
}

// The retry counts and PIN length limits.
inline token::flows::FormatLimits formatLimitsOf(const TZartoBaseInfo& values) {
    return {values.uPinRetryTimes, values.soPinRetryTimes, values.minUPINLen,
            values.maxUPINLen,     values.minSOPINLen,     values.maxSOPINLen};
}

} // namespace config
