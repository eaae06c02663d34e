// Update handlers of actions: each one decides an action's state (usually whether it is enabled). They run
// whenever the event loop is about to wait for new events, so the states follow every change the user or the
// program makes. A handler runs only while a widget that shows its action is visible, and never inside
// another handler.
#pragma once

#include <QObject>
#include <functional>
#include <vector>

class QAction;

namespace ui {

class ActionUpdater : public QObject {
    Q_OBJECT
public:
    explicit ActionUpdater(QObject* parent);

    // Adds `handler` for `action`; handlers of one action run in the order they were added.
    void add(QAction* action, std::function<void()> handler);
    // Runs every handler whose action is showing (also called by the event loop hook).
    void runOnce();

private:
    struct Entry {
        QAction* action;
        std::function<void()> handler;
    };
    static bool isShowing(const QAction* action);

    std::vector<Entry> entries_;
    bool running_ = false;
};

} // namespace ui
