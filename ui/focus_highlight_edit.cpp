#include "focus_highlight_edit.h"

#include <QApplication>

namespace ui {

FocusHighlightEdit::FocusHighlightEdit(QWidget* parent) : PinEdit(parent) {}

void FocusHighlightEdit::focusInEvent(QFocusEvent* event) {
    PinEdit::focusInEvent(event);
    deselect(); // the base class selects everything when the focus comes from the keyboard
    setBackground(Qt::yellow);
}

void FocusHighlightEdit::focusOutEvent(QFocusEvent* event) {
    PinEdit::focusOutEvent(event);
    setBackground(QApplication::palette(this).color(QPalette::Base));
}

void FocusHighlightEdit::setBackground(const QColor& colour) {
    QPalette palette = this->palette();
    palette.setColor(QPalette::Base, colour);
    setPalette(palette);
}

} // namespace ui
