// `request KEY --container NAME (--exchange|--signature) --subject DN ... --out FILE`: a PKCS#10 request, or
// a self-signed certificate, for a key pair on the key, signed there; with --keygen the pair is made first.
#pragma once

#include "command.h"

namespace cli {

class RequestCommand : public Command {
public:
    std::string name() const override { return "request"; }
    std::string usage() const override;
    std::set<std::string> options() const override {
        return {"container", "subject", "san", "template", "days", "keygen", "out"};
    }
    std::set<std::string> switches() const override {
        return {"exchange", "signature", "self-signed", "der"};
    }
    bool reads() const override { return true; }
    int run(Invocation& invocation) override;
};

} // namespace cli
