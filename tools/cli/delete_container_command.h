// `delete-container KEY CONTAINER`: deletes a container with everything in it.
#pragma once

#include "command.h"

namespace cli {

class DeleteContainerCommand : public Command {
public:
    std::string name() const override { return "delete-container"; }
    std::string usage() const override;
    int run(Invocation& invocation) override;
};

} // namespace cli
