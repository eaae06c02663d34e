#include "busy_indicator.h"

namespace ui {

namespace {
constexpr int kHeight = 12;
constexpr int kMargin = 8;
} // namespace

BusyIndicator::BusyIndicator(QWidget& pages) : QProgressBar(&pages) {
    setObjectName(QStringLiteral("busyIndicator"));
    setRange(0, 0); // a bar that moves without a known end
    setTextVisible(false);
    hide();
    delay_.setSingleShot(true);
    delay_.setInterval(kDelayMs);
    connect(&delay_, &QTimer::timeout, this, &BusyIndicator::appear);
}

void BusyIndicator::operationStarted() {
    if (operations_++ == 0)
        delay_.start();
}

void BusyIndicator::operationEnded() {
    if (operations_ == 0 || --operations_ > 0)
        return;
    delay_.stop();
    hide();
}

void BusyIndicator::appear() {
    const QWidget* pages = parentWidget();
    setGeometry(kMargin, pages->height() - kHeight - kMargin, pages->width() - 2 * kMargin, kHeight);
    raise();
    show();
}

} // namespace ui
