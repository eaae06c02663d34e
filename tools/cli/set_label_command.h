// `set-label KEY LABEL`: changes the key's label.
#pragma once

#include "command.h"

namespace cli {

class SetLabelCommand : public Command {
public:
    std::string name() const override { return "set-label"; }
    std::string usage() const override;
    int run(Invocation& invocation) override;
};

} // namespace cli
