// The pellorzu-cli program: picks the command named by the first word and runs it with the rest, explains
// the usage (`--help`, `help COMMAND`, `COMMAND --help`) and turns failures into messages and exit codes.
#pragma once

#include "command.h"

#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace cli {

class CommandLine {
public:
    CommandLine();

    int run(const std::vector<std::string>& words, std::ostream& out, std::ostream& err);

private:
    Command* find(const std::string& name) const;
    int runCommand(Command& command, const std::vector<std::string>& words, std::ostream& out,
                   std::ostream& err);
    void printOverview(std::ostream& out) const;

    std::vector<std::unique_ptr<Command>> commands_;
};

} // namespace cli
