// Holds back what the user does to some widgets (the key's pages and the key tree) while a key operation
// runs: clicks, keys, wheel turns and shortcuts aimed at them are dropped, while painting, timers and the
// rest of the window go on. Nothing changes in how the widgets look, so a quick operation does not flicker.
#pragma once

#include <QObject>
#include <QPointer>
#include <vector>

class QWidget;

namespace ui {

// The property that exempts a widget (a Cancel button) from the hold: it answers while its operation runs.
inline constexpr const char* kTakesInputWhileBusy = "takesInputWhileBusy";

class InputHold : public QObject {
    Q_OBJECT
public:
    explicit InputHold(QObject* parent) : QObject(parent) {}

    // The widgets whose input is held, with everything inside them.
    void setHeldWidgets(std::vector<QWidget*> widgets);
    // Starts or ends holding (calls nest: the hold ends with the last release).
    void hold();
    void release();
    bool holding() const { return holds_ > 0; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool isHeld(const QObject* receiver) const;

    std::vector<QPointer<QWidget>> widgets_;
    int holds_ = 0;
};

} // namespace ui
