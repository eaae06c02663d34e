// `change-so-pin KEY`: changes the SO PIN, the old one proven by an SO login.
#pragma once

#include "command.h"

namespace cli {

class ChangeSoPinCommand : public Command {
public:
    std::string name() const override { return "change-so-pin"; }
    std::string usage() const override;
    std::set<std::string> options() const override { return {"records"}; }
    int run(Invocation& invocation) override;
};

} // namespace cli
