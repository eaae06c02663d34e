// Page 3 (TabSheet4): logging in with the user PIN. Label10 counts the characters of edtUPIN; Escape while
// the page shows runs the cancel button, Enter in edtUPIN runs the login.
#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;

namespace ui {

class ActionButton;
struct MainActions;

class LoginPage : public QWidget {
    Q_OBJECT
public:
    LoginPage(const MainActions& actions, QWidget* parent);

    QLabel* Image2;
    QLabel* Label14;
    QLabel* Lkeyname;
    QLabel* RzLabel1;
    QLineEdit* edtUPIN;
    QLabel* Label10;
    ActionButton* btnlogon;
    ActionButton* RzButton3;

    // Label10 := the number of characters in edtUPIN.
    void showPinLength();

private:
    void buildKeyNameRows();
    void buildPinRow();
};

} // namespace ui
