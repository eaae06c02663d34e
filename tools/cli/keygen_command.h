// `keygen KEY --container NAME (--exchange|--signature) --algorithm ALGORITHM`: makes a key pair on the key;
// its private key never leaves it.
#pragma once

#include "command.h"

namespace cli {

class KeygenCommand : public Command {
public:
    std::string name() const override { return "keygen"; }
    std::string usage() const override;
    std::set<std::string> options() const override { return {"container", "algorithm"}; }
    std::set<std::string> switches() const override { return {"exchange", "signature"}; }
    bool reads() const override { return true; }
    int run(Invocation& invocation) override;
};

} // namespace cli
