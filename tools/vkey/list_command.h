// `list`: every virtual key, plugged in or not, with its label, state, PIN counters and memory.
#pragma once

#include "command.h"

namespace vkey {

class ListCommand : public Command {
public:
    std::string name() const override { return "list"; }
    std::string summary() const override { return "list the virtual keys and their state"; }
    std::string usage() const override;
    int run(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) override;
};

} // namespace vkey
