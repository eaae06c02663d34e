// `records --records STORE [--serial S] [--fingerprint F] [--since DATE]`: lists provisioning records.
#pragma once

#include "command.h"

namespace cli {

class RecordsCommand : public Command {
public:
    std::string name() const override { return "records"; }
    std::string usage() const override;
    std::set<std::string> options() const override { return {"records", "serial", "fingerprint", "since"}; }
    bool reads() const override { return true; }
    int run(Invocation& invocation) override;
};

} // namespace cli
