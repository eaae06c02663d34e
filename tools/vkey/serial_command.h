// The shape shared by `plug`, `unplug` and `delete`: one or more serials, one key operation on each. The
// command goes on with the next serial after a failure and fails as a whole if any key failed.
#pragma once

#include "command.h"
#include "token/lib/driver.h"

namespace quillard {
class VirtualKeyManager;
}

namespace vkey {

class SerialCommand : public Command {
public:
    std::string usage() const override;
    int run(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) override;

protected:
    virtual quillard::Result apply(quillard::VirtualKeyManager& manager, const std::string& serial,
                                   std::string& detail) = 0;
    // What happened to a key, as in "Plugged in".
    virtual std::string doneText() const = 0;
    // The usage text's explanation after the synopsis.
    virtual std::string explanation() const = 0;
};

} // namespace vkey
