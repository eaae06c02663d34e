#include "key_labels_file.h"

#include "cli_texts.h"
#include "failure.h"
#include "platform/secure_wipe.h"
#include "platform/terminal.h"
#include "secret_lines.h"

#include <QFile>
#include <algorithm>
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
    for (const platform::SecretBytes& line : secretLines(content)) {
        ++lineNumber;
        const QByteArray& bytes = line.bytes();
        const bool blank =
            std::all_of(bytes.begin(), bytes.end(), [](char c) { return c == ' ' || c == '\t'; });
        if (blank || (lineNumber == 1 && bytes.size() >= 6 && qstrnicmp(bytes.constData(), "serial", 6) == 0))
            continue;
        std::vector<QByteArray> fields = fieldsOf(line.bytes());
        if (fields.size() < 2 || fields.size() > 3 || fields[0].trimmed().isEmpty()) {
            wipeAll(fields);
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
    if (holdsPins && platform::readableByOthers(path))
        throw Failure(kFileProblem, text("PinFileOpen").arg(path));
    return labels;
}

} // namespace cli
