#include "key_labels_file.h"

#include "cli_texts.h"
#include "failure.h"
#include "platform/secure_wipe.h"
#include "platform/terminal.h"

#include <QFile>
#include <vector>

namespace cli {

namespace {

// The fields of one CSV line; quoted fields keep commas, "" in a quoted field is one quote.
std::vector<QByteArray> fieldsOf(const QByteArray& line) {
    std::vector<QByteArray> fields(1);
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
            fields.back().append('"');
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            fields.emplace_back();
        } else {
            fields.back().append(c);
        }
    }
    return fields;
}

void wipeAll(std::vector<QByteArray>& fields) {
    for (QByteArray& field : fields)
        platform::secureWipe(field);
}

} // namespace

std::map<std::string, KeyLabel> readKeyLabels(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(kFileProblem, text("FileUnreadable").arg(path));
    QByteArray content = file.readAll();
    std::map<std::string, KeyLabel> labels;
    bool holdsPins = false;
    int lineNumber = 0;
    for (qsizetype start = 0; start < content.size();) {
        qsizetype end = content.indexOf('\n', start);
        if (end < 0)
            end = content.size();
        qsizetype length = end - start;
        if (length > 0 && content[start + length - 1] == '\r')
            --length;
        QByteArray line(content.constData() + start, length);
        start = end + 1;
        ++lineNumber;
        if (line.trimmed().isEmpty() || (lineNumber == 1 && line.toLower().startsWith("serial"))) {
            platform::secureWipe(line);
            continue;
        }
        std::vector<QByteArray> fields = fieldsOf(line);
        platform::secureWipe(line);
        if (fields.size() < 2 || fields.size() > 3 || fields[0].trimmed().isEmpty()) {
            wipeAll(fields);
            platform::secureWipe(content);
            throw Failure(kUsage, text("BadCsvLine").arg(path).arg(lineNumber));
        }
        KeyLabel& entry = labels[fields[0].trimmed().toStdString()];
        entry.label = QString::fromUtf8(fields[1]).trimmed();
        if (fields.size() == 3 && !fields[2].isEmpty()) {
            entry.userPin = platform::SecretBytes(fields[2]);
            holdsPins = true;
        }
        wipeAll(fields);
    }
    platform::secureWipe(content);
    if (holdsPins && platform::readableByOthers(path))
        throw Failure(kFileProblem, text("PinFileOpen").arg(path));
    return labels;
}

} // namespace cli
