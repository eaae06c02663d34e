// The questions that give something up name what they act on, so that a person answers about the right key
// and the right certificate: the question's own text, then a second line with the key's label and serial
// and the container or certificate concerned.
#pragma once

#include "token/key_table.h"

#include <QString>

namespace ui {

// `question`, then "label (serial)" of `key` and, when `target` is not empty, ": target".
QString confirmationText(const QString& question, const token::TZartoInfo& key, const QString& target = {});

} // namespace ui
