#include "input_hold.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

namespace ui {

namespace {

bool isUserInput(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::InputMethod:
    case QEvent::Drop:
        return true;
    default:
        return false;
    }
}

} // namespace

void InputHold::setHeldWidgets(std::vector<QWidget*> widgets) {
    widgets_.assign(widgets.begin(), widgets.end());
}

void InputHold::hold() {
    if (holds_++ == 0 && QCoreApplication::instance())
        QCoreApplication::instance()->installEventFilter(this);
}

void InputHold::release() {
    if (holds_ > 0 && --holds_ == 0 && QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

bool InputHold::eventFilter(QObject* watched, QEvent* event) {
    // Shortcuts reach actions, not widgets: while a key operation runs none of them starts another.
    if (event->type() == QEvent::Shortcut)
        return true;
    return isUserInput(event->type()) && isHeld(watched);
}

bool InputHold::isHeld(const QObject* receiver) const {
    const auto* widget = qobject_cast<const QWidget*>(receiver);
    if (widget && widget->property(kTakesInputWhileBusy).toBool())
        return false;
    for (const QPointer<QWidget>& held : widgets_)
        if (widget && held && (widget == held || held->isAncestorOf(widget)))
            return true;
    return false;
}

} // namespace ui
