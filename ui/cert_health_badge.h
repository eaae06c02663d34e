// How a certificate node of the tree shows its health: a small badge over the certificate icon (none for a
// valid certificate) and a tooltip with the state, the end date, the days left and the chain.
#pragma once

#include "token/flows/key_health.h"

#include <QIcon>

class QTreeWidgetItem;

namespace ui {

// The item data role that holds a certificate node's state (token::flows::CertificateState as int).
inline constexpr int kCertificateStateRole = Qt::UserRole + 120;

// `icon` with the badge of `state` painted in its lower right corner; `icon` itself for a valid certificate.
QIcon badgedIcon(const QIcon& icon, token::flows::CertificateState state);

// Puts the badge, the tooltip and the state role on `node`.
void showCertificateHealth(QTreeWidgetItem* node, const token::flows::CertificateReport& report);

} // namespace ui
