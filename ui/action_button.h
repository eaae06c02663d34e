// A push button that runs an action: it shows the action's caption, follows its enabled and visible states,
// and a click triggers the action. The button registers itself with the action, so the action knows where it
// is shown.
#pragma once

#include <QPointer>
#include <QPushButton>

class QAction;

namespace ui {

class ActionButton : public QPushButton {
    Q_OBJECT
public:
    ActionButton(QAction* action, QWidget* parent);

    QAction* action() const { return action_; }

private:
    void followAction();

    QPointer<QAction> action_;
};

} // namespace ui
