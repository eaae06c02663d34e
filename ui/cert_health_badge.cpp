#include "cert_health_badge.h"

#include "i18n/health_texts.h"
#include "i18n/string_table.h"

#include <QPainter>
#include <QPixmap>
#include <QTreeWidgetItem>

namespace ui {

namespace {

using token::flows::CertificateState;

constexpr int kIconSize = 16;
constexpr int kBadgeSize = 9;

QColor badgeColour(CertificateState state) {
    switch (state) {
    case CertificateState::Expiring:
        return QColor(0xE6, 0x9A, 0x00);
    case CertificateState::Expired:
        return QColor(0xD0, 0x21, 0x21);
    case CertificateState::NotYetValid:
    case CertificateState::Valid:
        break;
    }
    return QColor(0x3A, 0x6E, 0xC8);
}

// The sign in the badge: "!" expiring, "×" expired, "…" not yet valid.
QString badgeSign(CertificateState state) {
    switch (state) {
    case CertificateState::Expiring:
        return QStringLiteral("!");
    case CertificateState::Expired:
        return QStringLiteral("\u00D7");
    case CertificateState::NotYetValid:
    case CertificateState::Valid:
        break;
    }
    return QStringLiteral("\u2026");
}

} // namespace

QIcon badgedIcon(const QIcon& icon, CertificateState state) {
    if (state == CertificateState::Valid)
        return icon;
    QPixmap pixmap = icon.pixmap(kIconSize, kIconSize);
    if (pixmap.isNull()) {
        pixmap = QPixmap(kIconSize, kIconSize);
        pixmap.fill(Qt::transparent);
    }
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF badge(kIconSize - kBadgeSize, kIconSize - kBadgeSize, kBadgeSize, kBadgeSize);
    painter.setPen(QPen(Qt::white, 1));
    painter.setBrush(badgeColour(state));
    painter.drawEllipse(badge);
    QFont font = painter.font();
    font.setPixelSize(kBadgeSize - 1);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(badge, Qt::AlignCenter, badgeSign(state));
    painter.end();
    return QIcon(pixmap);
}

void showCertificateHealth(QTreeWidgetItem* node, const token::flows::CertificateReport& report) {
    const CertificateState state = report.health.state;
    node->setData(0, kCertificateStateRole, static_cast<int>(state));
    node->setIcon(0, badgedIcon(node->icon(0), state));
    QStringList lines = i18n::certificateHealthLines(report.health);
    lines.append(i18n::text("K_Cert_Chain") + QStringLiteral(": ") + i18n::chainText(report.chain));
    node->setToolTip(0, lines.join(QLatin1Char('\n')));
}

} // namespace ui
