// A PIN or password field. The real characters live only in a wiping buffer of this widget; the line edit
// itself holds one mask character per real character, so its text, its undo history and the accessibility
// events it sends carry masks alone. Limits (maxLength), Enter (returnPressed), the character count
// (text().size()) and the masked look are those of any password field; the real text is read with secret()
// (through ui::pinBytes()). A text set by the program with setText() is taken over into the buffer at once.
//
// To adopt it for a new field: create the field with makeEdit(..., Echo::Masked) or makePinEdit() from
// form_widgets.h (or `new PinEdit(parent)` plus maskEdit()), and read it only with ui::pinBytes() and
// text().size().
#pragma once

#include "platform/secret_text.h"

#include <QLineEdit>

namespace ui {

class PinEdit : public QLineEdit {
    Q_OBJECT
public:
    // What the line edit holds in place of each real character.
    static constexpr char16_t kMask = u'\u2022';

    explicit PinEdit(QWidget* parent = nullptr);

    // The typed characters in the locale's 8-bit encoding, NUL-terminated, in wiping storage.
    platform::SecretBytes secret() const { return real_.toLocal8Bit(); }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void typeText(QStringView typed);
    void pasteClipboard();
    void followLineEdit(const QString& shown);

    platform::SecretText real_;
};

// The text of `field` in the locale's 8-bit form, NUL-terminated; wiped when the last copy goes. The one way
// to read a PIN field: a PinEdit gives its wiping buffer (its text() holds masks only).
platform::SecretBytes pinBytes(const QLineEdit& field);

} // namespace ui
