#include "key_labels_file.h"

#include "cli_texts.h"
#include "failure.h"
#include "platform/secure_wipe.h"
#include "platform/terminal.h"
#include "secret_lines.h"

#include <QFile>
#include <QStringDecoder>
#include <algorithm>
#include <optional>
#include <vector>

namespace cli {

namespace {

void wipeAll(std::vector<QByteArray>& fields) {
    for (QByteArray& field : fields)
        platform::secureWipe(field);
}

// The fields of one CSV line; quoted fields keep commas, "" in a quoted field is one quote. A quote left
// open to the end of the line leaves no fields: the line is malformed, and reading on would move a PIN into
// the label.
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
    if (quoted) {
        wipeAll(fields);
        fields.clear();
    }
    return fields;
}

// The label as text; none when its bytes are not UTF-8, which is refused rather than shown with
// replacement characters.
std::optional<QString> labelText(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString label = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return label.trimmed();
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
        const std::optional<QString> label = labelText(fields[1]);
        if (!label) {
            wipeAll(fields);
            throw Failure(kUsage, text("BadCsvLabel").arg(path).arg(lineNumber));
        }
        KeyLabel& entry = labels[fields[0].trimmed().toStdString()];
        entry.label = *label;
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
