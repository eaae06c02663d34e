// `unplug`: unplug virtual keys.
#pragma once

#include "serial_command.h"

namespace vkey {

class UnplugCommand : public SerialCommand {
public:
    std::string name() const override { return "unplug"; }
    std::string summary() const override { return "unplug virtual keys"; }

protected:
    quillard::Result apply(quillard::VirtualKeyManager& manager, const std::string& serial,
                           std::string& detail) override;
    std::string doneText() const override { return "Unplugged"; }
    std::string explanation() const override {
        return "Takes keys out of the device folder; a program using one sees it removed.\n";
    }
};

} // namespace vkey
