// Holds what the user types or pastes into a line edit to a number of bytes of UTF-8, the way a key stores a
// label: a longer text is cut at the last whole character that fits, so "maxLength" counts what the key
// counts. Text the program sets is left as it is.
#pragma once

#include <QObject>
#include <QString>

class QLineEdit;

namespace ui {

class Utf8LengthLimit : public QObject {
    Q_OBJECT
public:
    // Limits `edit` to `maxBytes` bytes of UTF-8; the limit lives as long as the edit.
    Utf8LengthLimit(QLineEdit& edit, int maxBytes);

    // The longest start of `text` whose UTF-8 form has at most `maxBytes` bytes, never splitting a character.
    static QString fitting(const QString& text, int maxBytes);

private:
    void cut(const QString& typed);

    QLineEdit& edit_;
    int maxBytes_;
};

} // namespace ui
