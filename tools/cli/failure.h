// A command that cannot go on: the message for the user and the exit code it ends with.
#pragma once

#include "exit_codes.h"

#include <QString>
#include <stdexcept>

namespace cli {

class Failure : public std::runtime_error {
public:
    Failure(ExitCode code, const QString& message)
        : std::runtime_error(message.toStdString()), code_(code), message_(message) {}

    ExitCode code() const { return code_; }
    const QString& message() const { return message_; }

private:
    ExitCode code_;
    QString message_;
};

} // namespace cli
