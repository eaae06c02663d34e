// The checks the SO PIN change and the unlock make before they touch the key, in this order: the new PIN
// and its confirmation must be the same (S_PIN_equal), the key must have been initialised (Init_Info) and its
// SO PIN must not be locked (K_Dead).
#pragma once

#include <cstdint>

class QLineEdit;
class QWidget;

namespace ui {

// True when the work may go on; otherwise the message of the first failed check is shown, owned by `owner`.
bool soPinWorkAllowed(QWidget* owner, int32_t key, const QLineEdit& newPin, const QLineEdit& confirmation);

} // namespace ui
