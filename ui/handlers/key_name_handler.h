// The key name page: changing the current key's label.
#pragma once

#include <QObject>
#include <QString>

class TMainForm;

namespace ui {

class KeyNameHandler : public QObject {
    Q_OBJECT
public:
    // Connects AcSetKeyName and registers its update handler.
    explicit KeyNameHandler(TMainForm& form);

    // Writes the trimmed text of edtKeyName to the current key as its label and shows it in the key table
    // and the tree without a new scan.
    void AcSetKeyNameExecute();
    // Enables AcSetKeyName when edtKeyName is not empty.
    void AcSetKeyNameUpdate();

private:
    void showNewLabel(const QString& label);

    TMainForm& form_;
};

} // namespace ui
