// The pellorzu-vkey program: picks the command named by the first word and runs it with the rest, or explains
// the usage.
#pragma once

#include "command.h"

#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace vkey {

class CommandLine {
public:
    CommandLine();

    // Returns the exit status: 0 done, 1 failed, 2 not understood.
    int run(const std::vector<std::string>& words, std::ostream& out, std::ostream& err);

private:
    Command* find(const std::string& name) const;
    void printOverview(std::ostream& out) const;

    std::vector<std::unique_ptr<Command>> commands_;
};

} // namespace vkey
