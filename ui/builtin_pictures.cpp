#include "builtin_pictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace ui {

namespace {

// A USB key seen from above, filling a square of `size` pixels.
void paintKey(QPainter& painter, int size) {
    const qreal unit = size / 48.0;
    painter.save();
    painter.scale(unit, unit);
    painter.setPen(QPen(QColor(40, 40, 50), 1.5));
    QLinearGradient body(0, 14, 0, 34);
    body.setColorAt(0, QColor(95, 100, 115));
    body.setColorAt(1, QColor(45, 48, 60));
    painter.setBrush(body);
    painter.drawRoundedRect(QRectF(3, 14, 30, 20), 5, 5);
    painter.setBrush(QColor(205, 208, 215));
    painter.drawRect(QRectF(33, 17, 12, 14));
    painter.setBrush(QColor(120, 120, 130));
    painter.drawRect(QRectF(37, 20, 3, 3));
    painter.drawRect(QRectF(37, 25, 3, 3));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(90, 210, 110));
    painter.drawEllipse(QRectF(8, 21, 6, 6));
    painter.setBrush(QColor(230, 180, 40));
    painter.drawEllipse(QRectF(18, 19, 10, 10));
    painter.restore();
}

void paintBannerBackground(QPainter& painter) {
    QLinearGradient sky(0, 0, kBannerWidth, kBannerHeight);
    sky.setColorAt(0, QColor(16, 62, 130));
    sky.setColorAt(0.6, QColor(36, 110, 190));
    sky.setColorAt(1, QColor(120, 180, 230));
    painter.fillRect(0, 0, kBannerWidth, kBannerHeight, sky);
    painter.setPen(QPen(QColor(255, 255, 255, 40), 2));
    for (int x = 380; x < kBannerWidth + 200; x += 28)
        painter.drawLine(x, kBannerHeight, x - 120, 0);
}

void paintBannerTitle(QPainter& painter) {
    QFont font = painter.font();
    font.setPixelSize(26);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRect(92, 14, 420, 34), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("PellorZu Admin"));
    font.setPixelSize(13);
    font.setBold(false);
    painter.setFont(font);
    painter.setPen(QColor(220, 235, 250));
    painter.drawText(QRect(94, 50, 420, 20), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("USB PKI key administration"));
}

} // namespace

QPixmap builtInBanner() {
    QPixmap banner(kBannerWidth, kBannerHeight);
    QPainter painter(&banner);
    painter.setRenderHint(QPainter::Antialiasing);
    paintBannerBackground(painter);
    painter.translate(20, 10);
    paintKey(painter, 64);
    painter.resetTransform();
    paintBannerTitle(painter);
    return banner;
}

QPixmap loginPicture() {
    QPixmap picture(kLoginPictureSize, kLoginPictureSize);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    paintKey(painter, kLoginPictureSize);
    return picture;
}

QIcon programIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        paintKey(painter, size);
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace ui
