// `install KEY CERTFILE [--chain FILE]`: puts the certificate a CA issued beside the key pair whose public
// key it carries.
#pragma once

#include "command.h"

namespace cli {

class InstallCommand : public Command {
public:
    std::string name() const override { return "install"; }
    std::string usage() const override;
    std::set<std::string> options() const override { return {"chain"}; }
    bool reads() const override { return true; }
    int run(Invocation& invocation) override;
};

} // namespace cli
