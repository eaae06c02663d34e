// `delete-cert KEY CONTAINER SPEC`: deletes one certificate and its key pair from a container.
#pragma once

#include "command.h"

namespace cli {

class DeleteCertCommand : public Command {
public:
    std::string name() const override { return "delete-cert"; }
    std::string usage() const override;
    int run(Invocation& invocation) override;
};

} // namespace cli
