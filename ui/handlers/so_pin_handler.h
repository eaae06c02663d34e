// The SO PIN page: changing the current key's SO PIN.
#pragma once

#include <QObject>

class TMainForm;

namespace ui {

class SoPinHandler : public QObject {
    Q_OBJECT
public:
    // Connects AcSetSOPIN and registers its update handler.
    explicit SoPinHandler(TMainForm& form);

    // Checks the new SO PIN, proves the old one with an SO login and changes it; the key ends logged out.
    // The fields keep their texts.
    void AcSetSOPINExecute();
    // Enables AcSetSOPIN when the old SO PIN and the confirmation both hold the key's minimum SO PIN length.
    void AcSetSOPINUpdate();

private:
    TMainForm& form_;
};

} // namespace ui
