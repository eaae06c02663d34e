// `list`: every key the library sees, with serial, module, label, initialised, PIN states and memory.
#pragma once

#include "command.h"

namespace cli {

class ListCommand : public Command {
public:
    std::string name() const override { return "list"; }
    std::string usage() const override;
    bool reads() const override { return true; }
    int run(Invocation& invocation) override;
};

} // namespace cli
