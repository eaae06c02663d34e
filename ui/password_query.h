// PasswordQuery, the modal prompt for a password (the current SO PIN before a key is initialised): the
// caller's caption, a word-wrapped prompt, a field of at most 255 characters shown as "*" that starts with
// the default text all selected, a confirm button (the default) and a cancel button (Escape). Every measure
// is derived from the average character width and the height of the dialog's font, so the dialog grows with
// the font; it is centred on its owner.
#pragma once

#include "platform/secret_bytes.h"

#include "message_service.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace ui {

class PasswordQuery : public QDialog {
    Q_OBJECT
public:
    static constexpr int kLongestPassword = 255;

    PasswordQuery(QWidget* owner, const PasswordRequest& request);

    // The typed text; the field is emptied, so the dialog keeps no copy of it.
    platform::SecretBytes takePassword();

    QLabel* promptLabel;
    QLineEdit* passwordEdit;
    QPushButton* confirmButton;
    QPushButton* cancelButton;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void layOut(const QString& prompt);
};

} // namespace ui
