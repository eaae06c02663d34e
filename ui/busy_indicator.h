// The busy indicator over the key's pages: a moving bar along the bottom of the page area that appears when
// a key operation has run for half a second and goes when the last one ends, so a slow token shows that the
// window is working while a quick one shows nothing but the hourglass.
#pragma once

#include <QProgressBar>
#include <QTimer>

namespace ui {

class BusyIndicator : public QProgressBar {
    Q_OBJECT
public:
    static constexpr int kDelayMs = 500;

    explicit BusyIndicator(QWidget& pages);

    // Called when an operation starts and when it ends (they nest).
    void operationStarted();
    void operationEnded();

private:
    void appear();

    QTimer delay_;
    int operations_ = 0;
};

} // namespace ui
