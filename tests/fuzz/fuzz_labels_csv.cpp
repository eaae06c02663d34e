// The labels file of `provision --labels`: any file is read or refused with a message, never half-read. A
// file is taken only when every line's quotes are closed (an open one would carry the PIN into the public
// label), and every label taken is text as written, with no replacement character the file did not hold.
#include "fuzz_input_file.h"
#include "tools/cli/failure.h"
#include "tools/cli/key_labels_file.h"

#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <string>

namespace {

// True when every line that is neither blank nor the header has an even number of quotes: a line read
// quote by quote ends inside a quoted field exactly when it has an odd number.
bool quotesClosed(const std::string& content) {
    std::size_t start = 0;
    for (int line = 1; start <= content.size(); ++line) {
        std::size_t end = content.find('\n', start);
        if (end == std::string::npos)
            end = content.size();
        const std::string text = content.substr(start, end - start);
        const bool header = line == 1 && text.size() >= 6 && strncasecmp(text.c_str(), "serial", 6) == 0;
        if (!header && std::count(text.begin(), text.end(), '"') % 2 != 0)
            return false;
        start = end + 1;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static FuzzInputFile input(".csv");
    const std::string& path = input.write(data, size);
    chmod(path.c_str(), 0600);
    const std::string content(reinterpret_cast<const char*>(data), size);
    try {
        const std::map<std::string, cli::KeyLabel> labels = cli::readKeyLabels(QString::fromStdString(path));
        require(quotesClosed(content));
        const bool heldReplacement = content.find("\xEF\xBF\xBD") != std::string::npos;
        for (const auto& [serial, entry] : labels) {
            require(!serial.empty());
            require(heldReplacement || !entry.label.contains(QChar::ReplacementCharacter));
        }
    } catch (const cli::Failure& failure) {
        require(!failure.message().isEmpty());
    }
    return 0;
}
