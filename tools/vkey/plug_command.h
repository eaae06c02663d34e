// `plug`: plug in unplugged virtual keys.
#pragma once

#include "serial_command.h"

namespace vkey {

class PlugCommand : public SerialCommand {
public:
    std::string name() const override { return "plug"; }
    std::string summary() const override { return "plug in unplugged virtual keys"; }

protected:
    quillard::Result apply(quillard::VirtualKeyManager& manager, const std::string& serial,
                           std::string& detail) override;
    std::string doneText() const override { return "Plugged in"; }
    std::string explanation() const override {
        return "Moves unplugged keys into the device folder, where the program finds them.\n";
    }
};

} // namespace vkey
