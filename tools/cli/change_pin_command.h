// `change-pin KEY`: changes the user PIN, the old one proven first.
#pragma once

#include "command.h"

namespace cli {

class ChangePinCommand : public Command {
public:
    std::string name() const override { return "change-pin"; }
    std::string usage() const override;
    int run(Invocation& invocation) override;
};

} // namespace cli
