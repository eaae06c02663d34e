// Page 9 (TabSheet10): setting a new user PIN with the SO PIN, which also unlocks a locked user PIN.
#pragma once

#include <QWidget>

class QGroupBox;
class QLabel;
class QLineEdit;

namespace ui {

class ActionButton;
struct MainActions;

class UnlockPage : public QWidget {
    Q_OBJECT
public:
    UnlockPage(const MainActions& actions, QWidget* parent);

    QGroupBox* RzGroupBox5;
    QLabel* LAdmin_SOPIN;
    QLabel* LAdmin_New_UPIN1;
    QLabel* LAdmin_New_UPIN2;
    QLineEdit* edtSPINForUnLock;
    QLineEdit* edtUPINForUnlock1;
    QLineEdit* edtUPINForUnlock2;
    ActionButton* Button11;
};

} // namespace ui
