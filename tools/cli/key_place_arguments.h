// The place of a key pair as enrolment commands name it: --container NAME with --exchange or --signature.
#pragma once

#include "invocation.h"
#include "token/flows/key_enrolment.h"

#include <QJsonObject>
#include <QString>

namespace cli {

// The place the arguments name; a usage error without --container, or with both or neither of
// --exchange and --signature.
token::flows::KeyPlace keyPlaceFrom(const tools::Arguments& arguments);
// Whether the arguments name a place at all (--container, --exchange or --signature given).
bool namesKeyPlace(const tools::Arguments& arguments);

// A run of enrolment on the pair at `place` of `key`, with nothing to make yet.
token::flows::EnrolmentJob enrolmentJobAt(const FoundKey& key, const token::flows::KeyPlace& place);

// "exchange pair of container NAME": the place as messages name it, and its JSON fields.
QString placeText(const token::flows::KeyPlace& place);
QJsonObject placeJson(const FoundKey& key, const token::flows::KeyPlace& place);

} // namespace cli
