// The pellorzu-vkey program: picks the command named by the first word and runs it with the rest, or explains
// the usage.
#pragma once

#include "command.h"

#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace vkey {

class CommandLine : public tools::CommandSet<Command> {
public:
    // run() returns the exit status: 0 done, 1 failed, 2 not understood.
    CommandLine();

private:
    void printOverview(std::ostream& out) const override;
    void reportUnknown(const std::string& name, std::ostream& err) const override;
    int runCommand(Command& command, const std::vector<std::string>& words, std::ostream& out,
                   std::ostream& err) override;
};

} // namespace vkey
