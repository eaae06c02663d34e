#include "button_edit.h"

#include <QToolButton>

namespace ui {

ButtonEdit::ButtonEdit(QWidget* parent) : QLineEdit(parent), button_(new QToolButton(this)) {
    button_->setText(QStringLiteral("…"));
    button_->setCursor(Qt::ArrowCursor);
    button_->setFocusPolicy(Qt::NoFocus);
    setTextMargins(0, 0, kButtonWidth, 0);
    connect(button_, &QToolButton::clicked, this, &ButtonEdit::buttonClicked);
}

void ButtonEdit::resizeEvent(QResizeEvent* event) {
    QLineEdit::resizeEvent(event);
    button_->setGeometry(width() - kButtonWidth - 1, 1, kButtonWidth, height() - 2);
}

} // namespace ui
