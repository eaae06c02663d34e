// The SO PIN page: changing the current key's SO PIN.
#pragma once

#include <QObject>

namespace ui {

class ActionUpdater;
class KeyOperationRunner;
class SoPinPage;
struct MainActions;

class SoPinHandler : public QObject {
    Q_OBJECT
public:
    // Connects AcSetSOPIN and registers its update handler.
    SoPinHandler(SoPinPage& page, const MainActions& actions, ActionUpdater& updater,
                 KeyOperationRunner& runner, QObject* parent);

    // Checks the new SO PIN, proves the old one with an SO login and changes it; the key ends logged out.
    // The PIN fields are emptied once their PINs were used.
    void AcSetSOPINExecute();
    // Enables AcSetSOPIN when the old SO PIN and the confirmation both hold the key's minimum SO PIN length.
    void AcSetSOPINUpdate();

private:
    void changePin(int32_t key);

    SoPinPage& page_;
    const MainActions& actions_;
    KeyOperationRunner& runner_;
};

} // namespace ui
