// `certs KEY`: the containers of a key with their certificates (subject, issuer, serial, validity,
// fingerprints, key algorithm) and key pairs, after a user login.
#pragma once

#include "command.h"

namespace cli {

class CertsCommand : public Command {
public:
    std::string name() const override { return "certs"; }
    std::string usage() const override;
    bool reads() const override { return true; }
    int run(Invocation& invocation) override;
};

} // namespace cli
