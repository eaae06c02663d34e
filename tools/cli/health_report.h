// A key's health as pellorzu-cli check prints it: one JSON object, or the text lines (one for the key, one
// for each certificate).
#pragma once

#include "key_directory.h"
#include "token/flows/key_health.h"

#include <QJsonObject>
#include <QStringList>

namespace cli {

QJsonObject healthJson(const FoundKey& key, const token::flows::KeyHealth& health);
QStringList healthLines(const FoundKey& key, const token::flows::KeyHealth& health);

} // namespace cli
