// The program's own version, built in from the project version: four decimal numbers joined by "."
// (major.minor.release.build).
#pragma once

#include <QString>

namespace ui {

QString programVersionText();

} // namespace ui
