// `escrow show KEY --records STORE --recovery-key FILE`: prints the SO PIN escrowed for the key, on its last
// line, and records that it was shown.
#pragma once

#include "command.h"

namespace cli {

class EscrowCommand : public Command {
public:
    std::string name() const override { return "escrow"; }
    std::string usage() const override;
    std::set<std::string> options() const override { return {"records", "recovery-key"}; }
    int run(Invocation& invocation) override;
};

} // namespace cli
