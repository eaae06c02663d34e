// The texts of certificate and PIN health, which the window and the command line share: the name of each
// state, a certificate's dates and days left, the notice after a scan and the question before importing a
// certificate outside its validity. Each front end reads the texts in its own way (TextStyle).
#pragma once

#include "outcome_texts.h"
#include "token/flows/certificate_health.h"
#include "token/flows/pin_health.h"

#include <QString>
#include <QStringList>
#include <cstdint>

namespace token::flows {
enum class KeyStatus;
}

namespace i18n {

QString certificateStateText(token::flows::CertificateState state, const TextStyle& style = windowStyle());
QString chainText(token::flows::ChainResult chain, const TextStyle& style = windowStyle());
QString pinHealthText(token::flows::PinHealth health, const TextStyle& style = windowStyle());
QString keyStatusText(token::flows::KeyStatus status, const TextStyle& style = windowStyle());

// A moment (seconds since 1970) as "yyyy-MM-dd HH:mm UTC".
QString momentText(int64_t seconds);
// K_Cert_DaysLeft with the days left filled in.
QString daysLeftText(int64_t daysLeft, const TextStyle& style = windowStyle());
// The lines that describe a certificate's health: its state, its end date and the days left.
QStringList certificateHealthLines(const token::flows::CertificateHealth& health,
                                   const TextStyle& style = windowStyle());

// The notice after a scan: K_Cert_Expiry_Notice naming the key, then one line per certificate ("subject:
// state, end date").
QString expiryNoticeText(const QString& keyName, const QStringList& certificateLines,
                         const TextStyle& style = windowStyle());
// One certificate line of the notice.
QString expiryNoticeLine(const QString& subject, const token::flows::CertificateHealth& health,
                         const TextStyle& style = windowStyle());

// What is said before a certificate outside its validity is imported: expired or not yet valid, then its
// dates.
QString outsideValidityText(const token::flows::CertificateHealth& health,
                            const TextStyle& style = windowStyle());

// `pattern` with each "%s" replaced by the next of `values` in turn; a "%s" without a value stays as it is.
QString fillTexts(const QString& pattern, const QStringList& values);

} // namespace i18n
