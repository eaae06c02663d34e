// The step the PIN pages share before a PIN is used: the check that the key was initialised and its PIN is
// not locked, run through the key operation runner, with the refusal shown as its message.
#pragma once

#include "token/key_table.h"

#include <cstdint>
#include <functional>

class QWidget;

namespace ui {

class KeyOperationRunner;

// Checks the PIN of `type` of `key`; a refusal shows why in a message owned by `owner`, a PIN that may be
// used goes on with `next`.
void whenPinUsable(KeyOperationRunner& runner, int32_t key, token::PinType type, QWidget* owner,
                   const std::function<void()>& next);

} // namespace ui
