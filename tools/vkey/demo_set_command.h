// `demo-set`: when no virtual key exists yet, creates a small demo set: two initialised keys with demo
// content and one blank key. With any key present it changes nothing, so it can run before every start of the
// program.
#pragma once

#include "command.h"

namespace vkey {

class DemoSetCommand : public Command {
public:
    std::string name() const override { return "demo-set"; }
    std::string summary() const override { return "create demo keys when there are no keys yet"; }
    std::string usage() const override;
    int run(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) override;
};

} // namespace vkey
