// The days on which each key was last told about its expiring certificates, so the notice comes at most once
// per key and day. Kept in the per-user configuration folder (ExpiryNotices.txt, one "KEY<TAB>yyyy-MM-dd" a
// line, readable by its owner only); only today's entries are kept.
#pragma once

#include <QDate>
#include <QMap>
#include <QString>

namespace ui {

class ExpiryNoticeLog {
public:
    // The log in `path`, read at once; a missing or unreadable file is an empty log.
    explicit ExpiryNoticeLog(QString path);

    // True when `key` (module and serial) was told about on `day`.
    bool toldOn(const QString& key, const QDate& day) const;
    // Records that `key` was told about on `day` and writes the log (to a temporary name, then renamed);
    // false when it cannot be written, and the day is still remembered for this run.
    bool record(const QString& key, const QDate& day);

private:
    void read();

    QString path_;
    QMap<QString, QDate> days_;
};

} // namespace ui
