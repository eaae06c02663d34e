// The unlock page: setting a new user PIN of the current key with its SO PIN, which also unlocks a locked
// user PIN.
#pragma once

#include <QObject>
#include <cstdint>

namespace ui {

class ActionUpdater;
class KeyOperationRunner;
class UnlockPage;
struct MainActions;

class UnlockHandler : public QObject {
    Q_OBJECT
public:
    // Connects AcUnlock and registers its update handler.
    UnlockHandler(UnlockPage& page, const MainActions& actions, ActionUpdater& updater,
                  KeyOperationRunner& runner, QObject* parent);

    // Checks the new user PIN and sets it with the SO PIN; the key ends logged out. The PIN fields are
    // emptied once their PINs were used.
    void AcUnlockExecute();
    // Enables AcUnlock when the SO PIN holds the key's minimum SO PIN length and both new user PINs the
    // minimum user PIN length.
    void AcUnlockUpdate();

private:
    void unlock(int32_t key);

    UnlockPage& page_;
    const MainActions& actions_;
    KeyOperationRunner& runner_;
};

} // namespace ui
