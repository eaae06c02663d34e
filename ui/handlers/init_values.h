// The initialisation page and the record of Initconfig.ini: filling the page's eleven fields from the record
// and collecting them back into one.
#pragma once

#include "config/zarto_base_info.h"

#include <QString>

namespace ui {

class InitPage;

// Sets the five texts and the six spin fields; a spin value outside its range takes the nearest bound.
void showInitValues(InitPage& page, const TZartoBaseInfo& baseInfo);

// The page's values: the label as typed, the other texts and both PINs in the locale's 8-bit form, the spin
// values (a typed value not yet committed counts); the ISO file stays empty.
TZartoBaseInfo collectInitValues(InitPage& page);

} // namespace ui
