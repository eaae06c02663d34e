// `create`: makes a new virtual key, initialised with the given PINs or blank, plugged in or not.
#pragma once

#include "command.h"

namespace vkey {

class CreateCommand : public Command {
public:
    std::string name() const override { return "create"; }
    std::string summary() const override { return "create a virtual key"; }
    std::string usage() const override;
    int run(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) override;
};

} // namespace vkey
