// `check [KEY...]`: the health of every key (or the named ones) for monitoring: each PIN's state and each
// certificate's state and chain, one line per key and per certificate or a JSON array, and an exit code for
// the worst state found (0 ok, 6 warning, 7 problem).
#pragma once

#include "command.h"

namespace cli {

class CheckCommand : public Command {
public:
    std::string name() const override { return "check"; }
    std::string usage() const override;
    std::set<std::string> options() const override { return {"days"}; }
    bool reads() const override { return true; }
    int run(Invocation& invocation) override;
};

} // namespace cli
