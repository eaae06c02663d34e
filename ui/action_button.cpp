#include "action_button.h"

#include <QAction>

namespace ui {

ActionButton::ActionButton(QAction* action, QWidget* parent) : QPushButton(parent), action_(action) {
    addAction(action); // makes this button one of the action's associated widgets
    setContextMenuPolicy(Qt::NoContextMenu);
    followAction();
    connect(action, &QAction::changed, this, &ActionButton::followAction);
    connect(this, &QPushButton::clicked, action, [action] { action->trigger(); });
}

void ActionButton::followAction() {
    if (!action_)
        return;
    setText(action_->text());
    setEnabled(action_->isEnabled());
    if (isHidden() == action_->isVisible())
        setVisible(action_->isVisible());
}

} // namespace ui
