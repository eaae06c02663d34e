#include "key_spec.h"

#include "token/cert_presence.h"
#include "tools/common/usage_error.h"

namespace cli {

int32_t parseKeySpec(const std::string& word) {
    if (word == "exchange" || word == "1")
        return token::kExchangeSpec;
    if (word == "signature" || word == "2")
        return token::kSignatureSpec;
    throw tools::UsageError("SPEC is exchange (1) or signature (2), not '" + word + "'");
}

QString specName(int32_t spec) {
    return spec == token::kExchangeSpec ? QStringLiteral("exchange") : QStringLiteral("signature");
}

} // namespace cli
