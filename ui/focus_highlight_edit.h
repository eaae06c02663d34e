// A PIN field whose background turns yellow while it has the keyboard focus and which leaves its text
// unselected when the focus arrives (the login PIN field).
#pragma once

#include "pin_edit.h"

namespace ui {

class FocusHighlightEdit : public PinEdit {
    Q_OBJECT
public:
    explicit FocusHighlightEdit(QWidget* parent);

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void setBackground(const QColor& colour);
};

} // namespace ui
