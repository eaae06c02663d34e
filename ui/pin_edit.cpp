#include "pin_edit.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <algorithm>

namespace ui {

namespace {

bool isMask(QChar c) {
    return c.unicode() == PinEdit::kMask;
}

bool holdsOnlyMasks(QStringView text) {
    return std::all_of(text.begin(), text.end(), isMask);
}

bool holdsNoMask(QStringView text) {
    return std::none_of(text.begin(), text.end(), isMask);
}

QString masks(qsizetype count) {
    return QString(count, QChar(PinEdit::kMask));
}

// Typed text that the field takes as characters: printable, without Ctrl or Meta (those are shortcuts).
bool isTypedText(const QKeyEvent& event) {
    const QString text = event.text();
    return !text.isEmpty() && text.front().isPrint() &&
           !(event.modifiers() & (Qt::ControlModifier | Qt::MetaModifier));
}

} // namespace

PinEdit::PinEdit(QWidget* parent) : QLineEdit(parent) {
    // Dropped text would land in the line edit unmasked; PIN fields take typing and pasting only.
    setAcceptDrops(false);
    connect(this, &QLineEdit::textChanged, this, &PinEdit::followLineEdit);
}

void PinEdit::keyPressEvent(QKeyEvent* event) {
    // The undo history knows masks only, so undoing would lose step with the real characters.
    if (event->matches(QKeySequence::Undo) || event->matches(QKeySequence::Redo)) {
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::Paste)) {
        pasteClipboard();
        event->accept();
        return;
    }
    if (!isReadOnly() && isTypedText(*event)) {
        typeText(event->text());
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event); // moving, deleting, Enter, Escape
}

void PinEdit::inputMethodEvent(QInputMethodEvent* event) {
    const QString committed = event->commitString();
    if (!committed.isEmpty() && event->preeditString().isEmpty() && event->replacementLength() == 0) {
        typeText(committed);
        event->accept();
        return;
    }
    event->ignore(); // a password field takes no composing input
}

void PinEdit::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = createStandardContextMenu();
    for (QAction* action : menu->actions()) {
        const QString name = action->objectName();
        if (name == QLatin1String("edit-undo") || name == QLatin1String("edit-redo")) {
            menu->removeAction(action);
        } else if (name == QLatin1String("edit-paste")) {
            disconnect(action, &QAction::triggered, nullptr, nullptr);
            connect(action, &QAction::triggered, this, &PinEdit::pasteClipboard);
        }
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

// Puts `typed` in place of the selection (or at the cursor) as far as maxLength leaves room: the real
// characters into the buffer, as many masks into the line edit.
void PinEdit::typeText(QStringView typed) {
    const qsizetype selected = hasSelectedText() ? selectionLength() : 0;
    const qsizetype start = selected > 0 ? selectionStart() : cursorPosition();
    const qsizetype room = std::max<qsizetype>(0, maxLength() - (text().size() - selected));
    QStringView accepted = typed.first(std::min(typed.size(), room));
    if (!accepted.isEmpty() && accepted.back().isHighSurrogate())
        accepted.chop(1);
    if (accepted.isEmpty() && selected == 0)
        return;
    real_.remove(start, selected);
    real_.insert(start, accepted);
    insert(masks(accepted.size()));
}

void PinEdit::pasteClipboard() {
    if (isReadOnly())
        return;
    QString pasted = QGuiApplication::clipboard()->text();
    pasted.remove(u'\n').remove(u'\r');
    typeText(pasted);
    platform::secureWipe(pasted);
}

// Keeps the buffer in step with the line edit after every change: a text set by the program is taken over
// (the line edit keeps masks only), and characters the line edit deleted (Backspace, Delete, cutting,
// clear()) go from the buffer too. Deleting leaves the cursor where the deleted characters began.
void PinEdit::followLineEdit(const QString& shown) {
    if (shown.size() == real_.size() && holdsOnlyMasks(shown))
        return;
    if (holdsNoMask(shown)) {
        real_.clear();
        real_.insert(0, shown);
        setText(masks(shown.size()));
        return;
    }
    if (holdsOnlyMasks(shown) && shown.size() < real_.size()) {
        real_.remove(cursorPosition(), real_.size() - shown.size());
        return;
    }
    // Masks without characters behind them: no edit of this field makes that, so nothing typed is trusted.
    real_.clear();
    clear();
}

platform::SecretBytes pinBytes(const QLineEdit& field) {
    if (const auto* pinField = qobject_cast<const PinEdit*>(&field))
        return pinField->secret();
    return platform::SecretBytes(field.text().toLocal8Bit());
}

} // namespace ui
