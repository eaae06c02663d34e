#include "expiry_notice_log.h"

#include <QFile>
#include <QSaveFile>
#include <QTextStream>

namespace ui {

namespace {

const QString kDateFormat = QStringLiteral("yyyy-MM-dd");

} // namespace

ExpiryNoticeLog::ExpiryNoticeLog(QString path) : path_(std::move(path)) {
    read();
}

void ExpiryNoticeLog::read() {
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    QTextStream in(&file);
    for (QString line; in.readLineInto(&line);) {
        const qsizetype tab = line.lastIndexOf(QLatin1Char('\t'));
        const QDate day = QDate::fromString(line.mid(tab + 1), kDateFormat);
        if (tab > 0 && day.isValid())
            days_.insert(line.left(tab), day);
    }
}

bool ExpiryNoticeLog::toldOn(const QString& key, const QDate& day) const {
    return days_.value(key) == day;
}

bool ExpiryNoticeLog::record(const QString& key, const QDate& day) {
    days_.insert(key, day);
    QSaveFile file(path_);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QTextStream out(&file);
    for (auto entry = days_.cbegin(); entry != days_.cend(); ++entry)
        if (entry.value() == day)
            out << entry.key() << '\t' << entry.value().toString(kDateFormat) << '\n';
    out.flush();
    return file.commit();
}

} // namespace ui
