// `demo`: fills a plugged-in key with demo containers, certificates and key pairs.
#pragma once

#include "command.h"

namespace vkey {

class DemoCommand : public Command {
public:
    std::string name() const override { return "demo"; }
    std::string summary() const override { return "fill a plugged-in key with demo certificates"; }
    std::string usage() const override;
    int run(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) override;
};

} // namespace vkey
