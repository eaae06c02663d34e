// The pellorzu-cli program: picks the command named by the first word and runs it with the rest, explains
// the usage (`--help`, `help COMMAND`, `COMMAND --help`) and turns failures into messages and exit codes.
#pragma once

#include "command.h"

#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace cli {

class CommandLine : public tools::CommandSet<Command> {
public:
    CommandLine();

private:
    std::string usageOf(const Command& command) const override;
    void printOverview(std::ostream& out) const override;
    void reportUnknown(const std::string& name, std::ostream& err) const override;
    int explainUnknown(const std::string& name, std::ostream& out, std::ostream& err) const override;
    int runCommand(Command& command, const std::vector<std::string>& words, std::ostream& out,
                   std::ostream& err) override;
};

} // namespace cli
