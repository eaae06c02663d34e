// `register KEY`: puts the key's RSA certificates into the per-user certificate store.
#pragma once

#include "command.h"

namespace cli {

class RegisterCommand : public Command {
public:
    std::string name() const override { return "register"; }
    std::string usage() const override;
    int run(Invocation& invocation) override;
};

} // namespace cli
