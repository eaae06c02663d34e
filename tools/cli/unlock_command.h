// `unlock KEY`: sets a new user PIN with the SO PIN, which also unlocks a locked user PIN.
#pragma once

#include "command.h"

namespace cli {

class UnlockCommand : public Command {
public:
    std::string name() const override { return "unlock"; }
    std::string usage() const override;
    std::set<std::string> options() const override { return {"records", "recovery-key"}; }
    int run(Invocation& invocation) override;
};

} // namespace cli
