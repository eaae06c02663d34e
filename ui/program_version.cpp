#include "program_version.h"

#ifndef PELLORZU_VERSION
#error "PELLORZU_VERSION must be defined by the build"
#endif

namespace ui {

QString programVersionText() {
    return QStringLiteral(PELLORZU_VERSION);
}

} // namespace ui
