// The PIN lines of --pin-file and --pin-stdin: each line is read exactly as written, without its line end
// ("\n" or "\r\n"), one secret per line in order, and the text they came from is wiped.
#include "fuzz_input_file.h"
#include "tools/cli/secret_lines.h"

#include <algorithm>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    QByteArray content(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::vector<platform::SecretBytes> lines = cli::secretLines(content);
    require(std::all_of(content.begin(), content.end(), [](char c) { return c == '\0'; }));

    // The lines as written, split here without the reader's code.
    std::vector<std::string> written;
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = std::min(text.find('\n', start), text.size());
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        written.push_back(line);
        start = end + 1;
    }
    require(lines.size() == written.size());
    for (std::size_t i = 0; i < lines.size(); ++i)
        require(lines[i].bytes().toStdString() == written[i]);
    return 0;
}
