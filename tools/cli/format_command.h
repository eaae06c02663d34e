// `format KEY --settings FILE`: initialises a key with the label, manufacturer, issuer, PIN lengths, retry
// counts and new PINs of a settings file.
#pragma once

#include "command.h"

namespace cli {

class FormatCommand : public Command {
public:
    std::string name() const override { return "format"; }
    std::string usage() const override;
    std::set<std::string> options() const override { return {"settings", "records"}; }
    int run(Invocation& invocation) override;
};

} // namespace cli
