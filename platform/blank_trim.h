// Trimming typed text: the blanks and control characters at either end go, the inside stays as typed.
#pragma once

#include <QString>

namespace platform {

// `text` without the blanks and control characters at either end.
QString trimBlanksAndControls(const QString& text);

} // namespace platform
