// Page 8 (TabSheet9): changing the SO PIN, old SO PIN and the new one twice.
#pragma once

#include <QWidget>

class QGroupBox;
class QLabel;
class QLineEdit;

namespace ui {

class ActionButton;
struct MainActions;

class SoPinPage : public QWidget {
    Q_OBJECT
public:
    SoPinPage(const MainActions& actions, QWidget* parent);

    QGroupBox* RzGroupBox4;
    QLabel* LAdmin_Old_SOPIN;
    QLabel* LAdmin_New_SOPIN1;
    QLabel* LAdmin_new_SOPIN2;
    QLineEdit* edtSPIN;
    QLineEdit* edtNewSPIN1;
    QLineEdit* edtNewSPIN2;
    ActionButton* Button10;
};

} // namespace ui
