// One run of one command: its parsed arguments, where its output goes, where its secrets come from and the
// keys the library sees (scanned on first use, so help and argument errors never start the library).
#pragma once

#include "key_directory.h"
#include "secret_source.h"
#include "tools/common/arguments.h"

#include <QJsonValue>
#include <QString>
#include <memory>
#include <ostream>
#include <string>

namespace cli {

class Invocation {
public:
    Invocation(tools::Arguments arguments, std::ostream& out, std::ostream& err);

    tools::Arguments& arguments() { return arguments_; }
    bool json() const { return arguments_.has("json"); }
    SecretSource& secrets() { return secrets_; }
    KeyDirectory& keys();
    // The key named by the plain word at `position` (with --module when given).
    const FoundKey& key(std::size_t position);
    // The same for a command that writes to the key: a Failure (exit code 1) with K_WriteProtected, before
    // any write, when the key is write-protected.
    const FoundKey& writableKey(std::size_t position);

    // The plain word at `position`; a usage error naming `what` when it is missing.
    const std::string& word(std::size_t position, const char* what) const;
    // A usage error when more than `count` plain words were given.
    void expectAtMost(std::size_t count) const;

    // A line of text on standard output, or on standard error.
    void print(const QString& line);
    void warn(const QString& line);
    // The document on standard output, indented.
    void printJson(const QJsonValue& value);
    std::ostream& err() { return err_; }

private:
    tools::Arguments arguments_;
    std::ostream& out_;
    std::ostream& err_;
    SecretSource secrets_;
    std::unique_ptr<KeyDirectory> keys_;
};

} // namespace cli
