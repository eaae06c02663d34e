#include "secret_lines.h"

#include "platform/secure_wipe.h"

namespace cli {

std::vector<platform::SecretBytes> secretLines(QByteArray& content) {
    std::vector<platform::SecretBytes> lines;
    qsizetype start = 0;
    while (start < content.size()) {
        qsizetype end = content.indexOf('\n', start);
        if (end < 0)
            end = content.size();
        qsizetype length = end - start;
        if (length > 0 && content[start + length - 1] == '\r')
            --length;
        lines.emplace_back(QByteArray(content.constData() + start, length));
        start = end + 1;
    }
    platform::secureWipe(content);
    return lines;
}

} // namespace cli
