// Page 0 (TabSheet1): the information rows of the current key and the refresh button.
#pragma once

#include <QWidget>

class QTableWidget;

namespace ui {

class ActionButton;
struct MainActions;

class KeyInfoPage : public QWidget {
    Q_OBJECT
public:
    KeyInfoPage(const MainActions& actions, QWidget* parent);

    QTableWidget* lv;
    ActionButton* Button7;
};

} // namespace ui
