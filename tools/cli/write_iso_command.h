// `write-iso KEY FILE`: writes an ISO image file to the key's disk area after a user login, with a progress
// bar on a terminal.
#pragma once

#include "command.h"

namespace cli {

class WriteIsoCommand : public Command {
public:
    std::string name() const override { return "write-iso"; }
    std::string usage() const override;
    int run(Invocation& invocation) override;
};

} // namespace cli
