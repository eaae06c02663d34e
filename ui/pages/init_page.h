// Page 7 (TabSheet8): the values a key is initialised with, on three tabs of PCInit (basic information, SO
// PIN, user PIN), and the initialise button.
#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QSpinBox;
class QTabWidget;

namespace ui {

class ActionButton;
struct MainActions;

class InitPage : public QWidget {
    Q_OBJECT
public:
    InitPage(const MainActions& actions, QWidget* parent);

    QTabWidget* PCInit;
    QWidget* TabSheet12;
    QWidget* TabSheet13;
    QWidget* TabSheet14;

    QLabel* lInit_keyname;
    QLineEdit* edtInit_KeyName;
    QLabel* lInit_gs;
    QLineEdit* edtInit_GS;
    QLabel* LInit_Model;
    QLineEdit* edtInit_UnLockPIN;

    QLabel* LInit_SOPIN;
    QLineEdit* edtInit_SPIN;
    QLabel* lInit_SOPINLenMin;
    QSpinBox* edtInit_SOPINlenMin;
    QLabel* Label23;
    QLabel* lInit_SOPINLenMax;
    QSpinBox* edtInit_SOPINlenMax;
    QLabel* Label13;
    QLabel* LInit_TryCount_SOPIN;
    QSpinBox* edtInit_MaxCount_SOPIN;
    QLabel* Label21;

    QLabel* lInit_UPIN;
    QLineEdit* edtInit_UPIN;
    QLabel* lInit_PINLenMin;
    QSpinBox* edtInit_PINlenMin;
    QLabel* Label31;
    QLabel* lINit_PINLenMax;
    QSpinBox* edtInit_PINLenMax;
    QLabel* Label28;
    QLabel* LInit_TryCount;
    QSpinBox* edtInit_MaxCount;
    QLabel* Label29;

    ActionButton* Button14;

private:
    QWidget* addTab(const char* name);
    void buildBasicTab();
    void buildSoPinTab();
    void buildUserPinTab();
};

} // namespace ui
