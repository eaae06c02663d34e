#include "certificate_text.h"

#include "token/token_ops.h"

#include <string>

namespace cli {

QString certificateText(const token::TZartoCertInfo& info, int32_t field) {
    std::string value;
    token::helper_get_cert_text(info.certificate.data(), info.certificateLength, field, value);
    return QString::fromStdString(value);
}

} // namespace cli
