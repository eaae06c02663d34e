#include "expiry_notice_handler.h"

#include "i18n/health_texts.h"
#include "key_info_view.h"
#include "token/key_table.h"
#include "token/token_ops.h"
#include "ui/cert_health_context.h"
#include "ui/key_operation_runner.h"
#include "ui/message_service.h"

#include <QDate>
#include <QStringList>
#include <cstring>

namespace ui {

namespace {

QString identityOf(int32_t slot) {
    const token::TZartoInfo& record = token::keyTable().keys[slot];
    return QString::fromStdString(token::quillard_key_module(slot)) + QLatin1Char(':') +
           QString::fromLocal8Bit(record.serial,
                                  static_cast<qsizetype>(strnlen(record.serial, sizeof record.serial)));
}

// Every key of the last scan with its identity; the keys not in `present` have arrived, and those the log
// has not told about `today` have their expiring and expired certificates read.
std::vector<ExpiryNoticeHandler::ScannedKey> scanned(const QSet<QString>& present, const ExpiryNoticeLog& log,
                                                     const QDate& today, int warningDays) {
    std::vector<ExpiryNoticeHandler::ScannedKey> keys;
    const int64_t now = token::flows::secondsNow();
    for (int32_t slot = 0; slot < token::keyTable().keyCount && slot < token::kMaxKeysFound; ++slot) {
        ExpiryNoticeHandler::ScannedKey key;
        key.identity = identityOf(slot);
        key.name = keyLabel(token::keyTable().keys[slot]).trimmed();
        key.arrived = !present.contains(key.identity);
        if (key.arrived && !log.toldOn(key.identity, today))
            key.certificates =
                token::flows::expiringOrExpired(token::flows::readKeyHealth(slot, now, warningDays));
        keys.push_back(std::move(key));
    }
    return keys;
}

QString noticeText(const ExpiryNoticeHandler::ScannedKey& key) {
    QStringList lines;
    for (const token::flows::CertificateReport& report : key.certificates)
        lines.append(i18n::expiryNoticeLine(QString::fromStdU16String(report.certificate.info.subject),
                                            report.health));
    return i18n::expiryNoticeText(key.name, lines);
}

} // namespace

ExpiryNoticeHandler::ExpiryNoticeHandler(KeyOperationRunner& runner, QWidget& window, const QString& logPath,
                                         QObject* parent)
    : QObject(parent), runner_(runner), window_(window), log_(logPath) {
    setObjectName(QStringLiteral("expiryNotice"));
}

void ExpiryNoticeHandler::keysScanned() {
    runner_.run(
        [present = present_, log = log_, today = QDate::currentDate(),
         days = CertHealthContext::instance().warningDays()] { return scanned(present, log, today, days); },
        [this](const std::vector<ScannedKey>& keys) { tell(keys); });
}

void ExpiryNoticeHandler::tell(const std::vector<ScannedKey>& keys) {
    present_.clear();
    for (const ScannedKey& key : keys)
        present_.insert(key.identity);
    const QDate today = QDate::currentDate();
    for (const ScannedKey& key : keys) {
        if (key.certificates.empty() || log_.toldOn(key.identity, today))
            continue;
        log_.record(key.identity, today);
        messageService().inform(&window_, noticeText(key));
    }
}

} // namespace ui
