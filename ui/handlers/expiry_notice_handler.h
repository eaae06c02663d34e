// The notice after a scan: a key that arrived with the scan (not present at the scan before) and holds
// certificates that expire within the warning window or have expired gets one message naming the key and
// those certificates, at most once per key and day.
#pragma once

#include "token/flows/key_health.h"
#include "ui/expiry_notice_log.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <vector>

class QWidget;

namespace ui {

class KeyOperationRunner;

class ExpiryNoticeHandler : public QObject {
    Q_OBJECT
public:
    // `logPath` is the file of the days each key was told about.
    ExpiryNoticeHandler(KeyOperationRunner& runner, QWidget& window, const QString& logPath, QObject* parent);

    // After a scan that found keys: reads the keys that arrived with it and tells about their certificates.
    void keysScanned();

    // What the scan found of one key.
    struct ScannedKey {
        QString identity; // module and serial
        QString name;     // the label the tree shows
        bool arrived = false;
        std::vector<token::flows::CertificateReport> certificates; // expiring or expired
    };

private:
    void tell(const std::vector<ScannedKey>& keys);

    KeyOperationRunner& runner_;
    QWidget& window_;
    ExpiryNoticeLog log_;
    QSet<QString> present_;
};

} // namespace ui
