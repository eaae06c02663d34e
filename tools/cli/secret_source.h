// Where the PINs and passwords of one command come from: typed at the terminal without echo, or one a line
// from the file of --pin-file (refused when group or others may read it) or from standard input
// (--pin-stdin), in the order the command asks for them. Never from the command line. Each secret is wiped
// when the last copy goes, and so is everything read from the file or standard input.
#pragma once

#include "platform/secret_bytes.h"
#include "tools/common/arguments.h"

#include <QString>
#include <cstddef>
#include <optional>
#include <vector>

namespace cli {

class SecretSource {
public:
    // Takes --pin-file FILE or --pin-stdin from `arguments` (both at once is a usage error).
    explicit SecretSource(const tools::Arguments& arguments);

    // The next secret; `prompt` is shown at the terminal.
    platform::SecretBytes next(const QString& prompt);
    // A new PIN: at the terminal typed twice (a mismatch ends the command), from a file or standard input
    // read once.
    platform::SecretBytes nextNew(const QString& prompt, const QString& again);

private:
    // The next secret as it was typed or read.
    platform::SecretBytes nextAsGiven(const QString& prompt);
    void loadLines();
    bool fromTerminal() const { return !file_ && !stdin_; }

    std::optional<QString> file_;
    bool stdin_ = false;
    bool loaded_ = false;
    std::vector<platform::SecretBytes> lines_;
    std::size_t nextLine_ = 0;
};

} // namespace cli
