#include "key_value_file.h"

#include <QFile>

namespace platform {

QString keyFileValue(const QString& path, const QString& group, const QString& key) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QString currentGroup;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            currentGroup = line.mid(1, line.size() - 2);
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals > 0 && currentGroup == group && line.left(equals).trimmed() == key)
            return line.mid(equals + 1).trimmed();
    }
    return {};
}

QString unquotedShellValue(const QString& value) {
    if (value.size() < 2)
        return value;
    const QChar quote = value.front();
    if ((quote != QLatin1Char('"') && quote != QLatin1Char('\'')) || value.back() != quote)
        return value;
    const QString inner = value.mid(1, value.size() - 2);
    if (quote == QLatin1Char('\''))
        return inner;
    QString text;
    for (qsizetype i = 0; i < inner.size(); ++i) {
        if (inner[i] == QLatin1Char('\\') && i + 1 < inner.size())
            ++i;
        text += inner[i];
    }
    return text;
}

} // namespace platform
