// The unlock page: setting a new user PIN of the current key with its SO PIN, which also unlocks a locked
// user PIN.
#pragma once

#include <QObject>

class TMainForm;

namespace ui {

class UnlockHandler : public QObject {
    Q_OBJECT
public:
    // Connects AcUnlock and registers its update handler.
    explicit UnlockHandler(TMainForm& form);

    // Checks the new user PIN and sets it with the SO PIN; the key ends logged out. The fields keep their
    // texts.
    void AcUnlockExecute();
    // Enables AcUnlock when the SO PIN holds the key's minimum SO PIN length and both new user PINs the
    // minimum user PIN length.
    void AcUnlockUpdate();

private:
    TMainForm& form_;
};

} // namespace ui
