// The key name page: changing the current key's label.
#pragma once

#include <QObject>
#include <QString>

class QByteArray;
class TMainForm;

namespace ui {

// `text` without the blanks and control characters at either end.
QString trimBlanksAndControls(const QString& text);

class KeyNameHandler : public QObject {
    Q_OBJECT
public:
    // The longest label a key takes, in bytes of UTF-8.
    static constexpr int kLongestLabel = 31;

    // Connects AcSetKeyName and registers its update handler.
    explicit KeyNameHandler(TMainForm& form);

    // Writes the trimmed text of edtKeyName to the current key as its label and shows it in the key table
    // and the tree without a new scan.
    void AcSetKeyNameExecute();
    // Enables AcSetKeyName when edtKeyName is not empty.
    void AcSetKeyNameUpdate();

private:
    void showNewLabel(const QString& label, const QByteArray& utf8);

    TMainForm& form_;
};

} // namespace ui
