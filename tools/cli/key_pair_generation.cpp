#include "key_pair_generation.h"

#include "cli_texts.h"
#include "failure.h"
#include "key_place_arguments.h"
#include "tools/common/usage_error.h"

#include <QStringList>
#include <algorithm>

namespace cli {

namespace {

QString offeredText(const std::vector<token::KeyPairKind>& kinds) {
    QStringList names;
    for (const token::KeyPairKind& kind : kinds)
        names << QString::fromStdString(token::flows::keyKindName(kind));
    return names.isEmpty() ? text("NoKeyKinds") : names.join(QStringLiteral(", "));
}

} // namespace

token::KeyPairKind keyKindFrom(const std::string& word) {
    const std::optional<token::KeyPairKind> kind = token::flows::parseKeyKind(word);
    if (!kind)
        throw tools::UsageError("ALGORITHM is rsa2048, rsa3072, rsa4096, ec-p256 or ec-p384, not '" + word +
                                "'");
    return *kind;
}

void generateKeyPair(const FoundKey& key, const token::flows::KeyPlace& place,
                     const token::KeyPairKind& kind) {
    const token::flows::OfferedKinds offered = token::flows::offeredKeyKinds(key.slot);
    if (offered.code != 0)
        throw Failure(kFailed, failureText(text("KeyGenFailed"), offered.code));
    if (std::ranges::find(offered.kinds, kind) == offered.kinds.end())
        throw Failure(kFailed, text("KeyKindNotOffered")
                                   .arg(QString::fromStdString(token::flows::keyKindName(kind)),
                                        offeredText(offered.kinds)));
    if (!token::flows::isFreePlace(key.slot, place.container, place.spec))
        throw Failure(kFailed, text("PlaceTaken").arg(placeText(place)));
    token::flows::EnrolmentJob job = enrolmentJobAt(key, place);
    job.generate = kind;
    job.buildDocument = false;
    const token::flows::EnrolmentOutcome outcome = token::flows::runEnrolment(job);
    if (outcome.code != 0)
        throw Failure(kFailed, failureText(text("KeyGenFailed"), outcome.code));
}

} // namespace cli
