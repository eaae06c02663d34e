// `info KEY`: everything the key information page shows of one key, and its PIN states.
#pragma once

#include "command.h"

namespace cli {

class InfoCommand : public Command {
public:
    std::string name() const override { return "info"; }
    std::string usage() const override;
    bool reads() const override { return true; }
    int run(Invocation& invocation) override;
};

} // namespace cli
