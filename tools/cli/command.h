// One command of pellorzu-cli. The command line parses the options a command declares (plus the ones every
// command takes: --module, --pin-file, --pin-stdin, and --json for reading commands) and runs it; run()
// returns the exit code or throws a Failure or a UsageError.
#pragma once

#include "exit_codes.h"
#include "invocation.h"
#include "tools/common/command_base.h"

#include <set>
#include <string>

namespace cli {

// usage() also names the secrets the command asks for, in order.
class Command : public tools::CommandBase {
public:
    virtual std::set<std::string> options() const { return {}; }
    virtual std::set<std::string> switches() const { return {}; }
    // Reading commands print JSON with --json.
    virtual bool reads() const { return false; }
    virtual int run(Invocation& invocation) = 0;
};

} // namespace cli
