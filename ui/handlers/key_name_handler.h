// The label page (TabSheet3): changing the current key's label.
#pragma once

#include "token/flows/set_key_label.h"

#include <QObject>
#include <QString>
#include <cstdint>

namespace ui {

class ActionUpdater;
class KeyNamePage;
class KeyOperationRunner;
struct MainActions;

class KeyNameHandler : public QObject {
    Q_OBJECT
public:
    // Connects AcSetKeyName and registers its update handler.
    KeyNameHandler(KeyNamePage& page, const MainActions& actions, ActionUpdater& updater,
                   KeyOperationRunner& runner, QObject* parent);

    // Writes the trimmed text of edtKeyName to the current key as its label; the key table holds it at once
    // and the change is announced, so the tree shows it without a new scan.
    void AcSetKeyNameExecute();
    // Enables AcSetKeyName when edtKeyName is not empty.
    void AcSetKeyNameUpdate();
    // Puts the current key's label, trimmed, into edtKeyName.
    void showCurrentLabel();

signals:
    void labelChanged(int32_t slot, const QString& label);

private:
    // How a label change ended, with the library's code of a refusal.
    struct LabelChange {
        token::flows::LabelResult result = token::flows::LabelResult::Set;
        int32_t code = 0;
    };

    KeyNamePage& page_;
    const MainActions& actions_;
    KeyOperationRunner& runner_;
};

} // namespace ui
