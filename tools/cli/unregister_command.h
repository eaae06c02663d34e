// `unregister`: removes every entry of the provider from the per-user certificate store.
#pragma once

#include "command.h"

namespace cli {

class UnregisterCommand : public Command {
public:
    std::string name() const override { return "unregister"; }
    std::string usage() const override;
    int run(Invocation& invocation) override;
};

} // namespace cli
