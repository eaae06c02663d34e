// Page 1 (TabSheet2): changing the user PIN, old PIN and the new one twice.
#pragma once

#include <QWidget>

class QGroupBox;
class QLabel;
class QLineEdit;

namespace ui {

class ActionButton;
struct MainActions;

class UserPinPage : public QWidget {
    Q_OBJECT
public:
    UserPinPage(const MainActions& actions, QWidget* parent);

    QGroupBox* RzGroupBox1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLineEdit* edtOldUPin;
    QLineEdit* edtNewUPin1;
    QLineEdit* edtNewUPin2;
    ActionButton* btnOK;
};

} // namespace ui
