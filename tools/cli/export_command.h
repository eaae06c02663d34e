// `export KEY CONTAINER SPEC FILE`: writes one certificate of a container to a file, DER exactly as the key
// holds it or PEM.
#pragma once

#include "command.h"

namespace cli {

class ExportCommand : public Command {
public:
    std::string name() const override { return "export"; }
    std::string usage() const override;
    std::set<std::string> switches() const override { return {"pem"}; }
    int run(Invocation& invocation) override;
};

} // namespace cli
