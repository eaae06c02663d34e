// Page 2 (TabSheet3): changing the key's label.
#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;

namespace ui {

class ActionButton;
struct MainActions;

class KeyNamePage : public QWidget {
    Q_OBJECT
public:
    KeyNamePage(const MainActions& actions, QWidget* parent);

    QLabel* Label8;
    QLineEdit* edtKeyName;
    ActionButton* RzButton1;
};

} // namespace ui
