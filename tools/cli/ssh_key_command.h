// `ssh-key KEY [--container NAME (--exchange|--signature)]`: the OpenSSH public keys of the key pairs on the
// key, for authorized_keys.
#pragma once

#include "command.h"

namespace cli {

class SshKeyCommand : public Command {
public:
    std::string name() const override { return "ssh-key"; }
    std::string usage() const override;
    std::set<std::string> options() const override { return {"container"}; }
    std::set<std::string> switches() const override { return {"exchange", "signature"}; }
    bool reads() const override { return true; }
    int run(Invocation& invocation) override;
};

} // namespace cli
