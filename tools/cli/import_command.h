// `import KEY FILE`: a PKCS#12 file (key pair and certificate) or an X.509 certificate file into a new or
// an existing container, as the window's import does; a failed import leaves nothing behind.
#pragma once

#include "command.h"

namespace cli {

class ImportCommand : public Command {
public:
    std::string name() const override { return "import"; }
    std::string usage() const override;
    std::set<std::string> options() const override { return {"container"}; }
    std::set<std::string> switches() const override {
        return {"new", "exchange", "signature", "allow-expired"};
    }
    int run(Invocation& invocation) override;
};

} // namespace cli
