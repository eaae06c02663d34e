// One entry of the provisioning records: what was done to which key, when, by whom, with which settings
// (never the PINs) and certificates, the SO PIN sealed for the recovery key when it was made here, and how
// it ended. Records are only ever appended; one operation on a key may leave two (the sealed SO PIN before
// the key is touched, then the outcome), sharing the operation's id.
#pragma once

#include "config/zarto_base_info.h"
#include "key_directory.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <vector>

namespace cli {

struct RecordedCertificate {
    QString sha256; // lower-case hex, no separators
    QString subject;
};

struct ProvisioningRecord {
    qint64 id = 0; // given by the store
    QString operation;
    QString kind; // provision, format, change-so-pin, unlock, escrow-show
    QString serial;
    QString module;
    QString label;
    QString time; // UTC, ISO 8601 with milliseconds, so that text order is time order
    QString user;
    QString host;
    QJsonObject settings;
    std::vector<RecordedCertificate> certificates;
    QByteArray soPinEscrow; // DER enveloped data; empty when no SO PIN was sealed
    // started (the SO PIN was sealed, the key not yet touched), ok, incomplete (the key was formatted, a
    // later step failed) or failed (the key was left as it was)
    QString result;
    QString message; // why it failed, or a note

    // The values in the order of recordColumns().
    QStringList values() const;
    static ProvisioningRecord fromValues(const QStringList& values);
    QJsonObject json() const;
};

// The label `key` had when it was last read.
QString currentLabel(const FoundKey& key);

// The settings a key was formatted with, without its PINs.
QJsonObject settingsRecord(const TZartoBaseInfo& values);

// The kinds of operation that set a key's SO PIN.
bool setsSoPin(const QString& kind);

// A record of `kind` for `key`, stamped now with this user and host, under a fresh operation id.
ProvisioningRecord newRecord(const QString& kind, const FoundKey& key, const QString& label);

// The stored columns besides the id, in order.
const QStringList& recordColumns();

// A certificate fingerprint as records keep it: `text` lower-cased without colons or blanks; empty when it is
// not 64 hexadecimal digits.
QString normalFingerprint(const QString& text);

} // namespace cli
