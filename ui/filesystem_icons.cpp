#include "filesystem_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <array>

namespace ui {

namespace {

constexpr int kSize = 16;
const QColor kOutline(60, 60, 60);
const QColor kGold(230, 180, 40);
const QColor kBlue(40, 100, 200);
const QColor kPaper(250, 250, 245);

void drawFolder(QPainter& p, bool open) {
    p.setPen(QColor(150, 110, 20));
    p.setBrush(QColor(240, 200, 90));
    p.drawRect(1, 4, 13, 10);
    p.drawRect(1, 2, 5, 2);
    if (open) {
        p.setBrush(QColor(255, 225, 130));
        p.drawPolygon(QPolygon({QPoint(3, 7), QPoint(15, 7), QPoint(13, 14), QPoint(1, 14)}));
    }
}

void drawKeyShape(QPainter& p, const QColor& colour) {
    p.setPen(QPen(kOutline, 1));
    p.setBrush(colour);
    p.drawEllipse(1, 4, 7, 7);
    p.drawRect(7, 6, 8, 3);
    p.drawRect(11, 9, 2, 3);
    p.drawRect(13, 9, 2, 2);
    p.setBrush(Qt::white);
    p.drawEllipse(3, 6, 2, 2);
}

void drawPadlock(QPainter& p, int x, int y, bool open) {
    p.setPen(QPen(kOutline, 1.5));
    p.setBrush(Qt::NoBrush);
    const int shackleX = open ? x + 4 : x + 1;
    p.drawArc(QRect(shackleX, y, 6, 7), 0, 180 * 16);
    p.drawLine(shackleX, y + 3, shackleX, y + 5);
    p.drawLine(shackleX + 6, y + 3, shackleX + 6, y + (open ? 3 : 5));
    p.setPen(kOutline);
    p.setBrush(QColor(200, 160, 30));
    p.drawRect(x, y + 5, 8, 6);
}

void drawUsbKey(QPainter& p) {
    p.setPen(kOutline);
    p.setBrush(QColor(70, 70, 80));
    p.drawRoundedRect(1, 5, 10, 7, 2, 2);
    p.setBrush(QColor(200, 200, 205));
    p.drawRect(11, 6, 4, 5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(90, 200, 90));
    p.drawEllipse(3, 7, 3, 3);
}

void drawCertificate(QPainter& p) {
    p.setPen(kOutline);
    p.setBrush(kPaper);
    p.drawRect(1, 2, 14, 10);
    p.setPen(QColor(120, 120, 120));
    p.drawLine(3, 5, 12, 5);
    p.drawLine(3, 7, 9, 7);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 40, 40));
    p.drawPolygon(QPolygon({QPoint(10, 10), QPoint(13, 10), QPoint(14, 15), QPoint(11, 13), QPoint(9, 15)}));
    p.setBrush(QColor(220, 60, 60));
    p.drawEllipse(9, 7, 5, 5);
}

void drawKey(QPainter& p) {
    drawKeyShape(p, kGold);
}

void drawLockedKey(QPainter& p) {
    drawKeyShape(p, QColor(200, 200, 200));
    drawPadlock(p, 7, 4, false);
}

void drawDocument(QPainter& p) {
    p.setPen(kOutline);
    p.setBrush(kPaper);
    p.drawPolygon(QPolygon({QPoint(3, 1), QPoint(10, 1), QPoint(13, 4), QPoint(13, 15), QPoint(3, 15)}));
    p.setPen(QColor(150, 150, 150));
    for (int y = 5; y <= 12; y += 2)
        p.drawLine(5, y, 11, y);
}

void drawAbout(QPainter& p) {
    p.setPen(QColor(20, 60, 140));
    p.setBrush(kBlue);
    p.drawEllipse(1, 1, 14, 14);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(7, 7, 2, 5);
    p.drawEllipse(7, 3, 2, 2);
}

void drawDisc(QPainter& p) {
    p.setPen(QColor(120, 120, 130));
    QRadialGradient shine(8, 8, 7, 5, 5);
    shine.setColorAt(0, Qt::white);
    shine.setColorAt(1, QColor(170, 190, 220));
    p.setBrush(shine);
    p.drawEllipse(1, 1, 14, 14);
    p.setBrush(Qt::white);
    p.drawEllipse(6, 6, 4, 4);
}

void drawKeyList(QPainter& p) {
    p.translate(0, -3);
    drawUsbKey(p);
    p.translate(0, 5);
    drawUsbKey(p);
}

void drawComputer(QPainter& p) {
    p.setPen(kOutline);
    p.setBrush(QColor(210, 210, 215));
    p.drawRect(1, 1, 14, 10);
    p.setBrush(QColor(60, 120, 200));
    p.drawRect(3, 3, 10, 6);
    p.setBrush(QColor(170, 170, 175));
    p.drawRect(5, 12, 6, 1);
    p.drawRect(3, 14, 10, 1);
}

void drawRename(QPainter& p) {
    p.setPen(kOutline);
    p.setBrush(Qt::white);
    p.drawRect(0, 5, 15, 7);
    p.setPen(QPen(QColor(30, 30, 30), 1));
    p.drawLine(3, 6, 3, 11);
    p.drawLine(2, 6, 4, 6);
    p.drawLine(2, 11, 4, 11);
    p.setPen(QPen(QColor(200, 120, 20), 2));
    p.drawLine(7, 10, 13, 3);
}

void drawAdministrator(QPainter& p) {
    p.setPen(kOutline);
    p.setBrush(QColor(245, 205, 160));
    p.drawEllipse(5, 1, 6, 6);
    p.setBrush(QColor(50, 90, 160));
    p.drawRoundedRect(2, 8, 12, 7, 3, 3);
}

void drawInitialise(QPainter& p) {
    p.setPen(QPen(QColor(30, 140, 60), 2));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRect(2, 2, 12, 12), 60 * 16, 270 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 140, 60));
    p.drawPolygon(QPolygon({QPoint(10, 0), QPoint(14, 4), QPoint(9, 5)}));
}

void drawUnlock(QPainter& p) {
    drawPadlock(p, 3, 2, true);
}

void drawPadlockIcon(QPainter& p) {
    drawPadlock(p, 4, 2, false);
}

void drawSuccess(QPainter& p) {
    p.setPen(QPen(QColor(30, 150, 50), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygon({QPoint(3, 8), QPoint(6, 12), QPoint(13, 3)}));
}

void drawFailure(QPainter& p) {
    p.setPen(QPen(QColor(200, 30, 30), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(3, 3, 12, 12);
    p.drawLine(12, 3, 3, 12);
}

using IconPainter = void (*)(QPainter&);

const std::array<IconPainter, FilesystemIconCount> kPainters = {
    drawUsbKey,
    [](QPainter& p) { drawFolder(p, false); },
    [](QPainter& p) { drawFolder(p, true); },
    drawCertificate,
    drawKey,
    drawLockedKey,
    drawDocument,
    drawAbout,
    drawDisc,
    drawKeyList,
    drawComputer,
    drawRename,
    drawAdministrator,
    drawInitialise,
    drawUnlock,
    drawPadlockIcon,
    drawSuccess,
    drawFailure,
};

QPixmap paintIcon(IconPainter paint) {
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    paint(painter);
    return pixmap;
}

} // namespace

QList<QPixmap> paintFilesystemIcons() {
    QList<QPixmap> icons;
    for (IconPainter paint : kPainters)
        icons.append(paintIcon(paint));
    return icons;
}

} // namespace ui
