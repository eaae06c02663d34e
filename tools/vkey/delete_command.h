// `delete`: delete virtual keys and everything on them.
#pragma once

#include "serial_command.h"

namespace vkey {

class DeleteCommand : public SerialCommand {
public:
    std::string name() const override { return "delete"; }
    std::string summary() const override { return "delete virtual keys and everything on them"; }

protected:
    quillard::Result apply(quillard::VirtualKeyManager& manager, const std::string& serial,
                           std::string& detail) override;
    std::string doneText() const override { return "Deleted"; }
    std::string explanation() const override {
        return "Deletes keys, plugged in or not, with their certificates and disk area. There is no undo.\n";
    }
};

} // namespace vkey
