// What every PIN field of the window obeys: a PIN outside the key's length limits is answered at once and
// never sent to the key (no try is spent on it), and a PIN that was used leaves its field, whatever the
// result, so that nothing typed next is appended to it and sent again.
#pragma once

#include "token/key_table.h"

#include <QtGlobal>
#include <cstdint>
#include <initializer_list>

class QLineEdit;
class QWidget;

namespace ui {

// The length limits a key sets for one of its PINs; a maximum of 0 or less sets none.
struct PinLimits {
    int32_t minimum = 0;
    int32_t maximum = 0;
    // True when a PIN of `length` bytes (in the 8-bit form the key receives) lies within the limits.
    bool allow(qsizetype length) const;
};

PinLimits userPinLimits(const token::TZartoInfo& key);
PinLimits soPinLimits(const token::TZartoInfo& key);

// True when `field` holds a PIN within `limits`. Otherwise K_PIN_Length with the limits shows in a message
// owned by `owner`, and the field is emptied and given the focus for the whole PIN to be typed again.
bool pinLengthFits(QLineEdit& field, PinLimits limits, QWidget* owner);

// Empties `fields`, whose PINs were used, and gives the first the focus.
void emptyUsedPins(std::initializer_list<QLineEdit*> fields);

// Shows `fields` as the current key wants them: on a PIN-pad reader they take nothing and say where the PIN
// is entered instead. True when the current key has a PIN pad.
bool showPinFieldsForReader(std::initializer_list<QLineEdit*> fields);

} // namespace ui
