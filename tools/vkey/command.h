// One subcommand of pellorzu-vkey. run() gets the words after the command's name and returns the exit status:
// 0 done, 1 failed, 2 (through a UsageError) not understood.
#pragma once

#include "tools/common/command_base.h"

#include <ostream>
#include <string>
#include <vector>

namespace vkey {

class Command : public tools::CommandBase {
public:
    // One line for the overview of all commands.
    virtual std::string summary() const = 0;
    virtual int run(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) = 0;
};

} // namespace vkey
