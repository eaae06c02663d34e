#include "key_place_arguments.h"

#include "key_spec.h"
#include "token/cert_presence.h"
#include "tools/common/usage_error.h"

namespace cli {

token::flows::KeyPlace keyPlaceFrom(const tools::Arguments& arguments) {
    const std::optional<std::string> container = arguments.text("container");
    if (!container || container->empty())
        throw tools::UsageError("--container NAME is needed");
    if (arguments.has("exchange") == arguments.has("signature"))
        throw tools::UsageError("give one of --exchange and --signature");
    return {*container, arguments.has("signature") ? token::kSignatureSpec : token::kExchangeSpec};
}

bool namesKeyPlace(const tools::Arguments& arguments) {
    return arguments.has("container") || arguments.has("exchange") || arguments.has("signature");
}

token::flows::EnrolmentJob enrolmentJobAt(const FoundKey& key, const token::flows::KeyPlace& place) {
    token::flows::EnrolmentJob job;
    job.slot = key.slot;
    job.container = place.container;
    job.spec = place.spec;
    return job;
}

QString placeText(const token::flows::KeyPlace& place) {
    return QStringLiteral("%1 (%2)").arg(QString::fromLocal8Bit(place.container), specName(place.spec));
}

QJsonObject placeJson(const FoundKey& key, const token::flows::KeyPlace& place) {
    return QJsonObject{{QStringLiteral("serial"), QString::fromStdString(key.serial)},
                       {QStringLiteral("module"), QString::fromStdString(key.module)},
                       {QStringLiteral("container"), QString::fromLocal8Bit(place.container)},
                       {QStringLiteral("spec"), specName(place.spec)}};
}

} // namespace cli
