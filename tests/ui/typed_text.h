// What was typed into a field: a PIN field's real characters (its line edit holds masks only), read the one
// way the program reads them; any other field's text.
#pragma once

#include "ui/pin_edit.h"

#include <QLineEdit>
#include <QString>

inline QString typedText(const QLineEdit* field) {
    return QString::fromLocal8Bit(ui::pinBytes(*field).bytes());
}
