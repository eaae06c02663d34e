// The shape shared by the three PIN pages (user PIN change, SO PIN change, user PIN unlock): a frame without
// caption holding three rows of a right-aligned label and a masked PIN field, and the page's button below it.
// Enter in the last field runs the button's action.
#pragma once

#include <array>

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QWidget;

namespace ui {

class ActionButton;

struct PinFormNames {
    const char* frame;
    std::array<const char*, 3> labels;
    std::array<const char*, 3> fields;
    const char* button;
};

struct PinForm {
    QGroupBox* frame;
    std::array<QLabel*, 3> labels;
    std::array<QLineEdit*, 3> fields;
    ActionButton* button;
};

PinForm buildPinForm(QWidget* page, const PinFormNames& names, QAction* action);

} // namespace ui
