#include "unplug_command.h"

#include "token/lib/softkey/virtual_key_manager.h"

namespace vkey {

quillard::Result UnplugCommand::apply(quillard::VirtualKeyManager& manager, const std::string& serial,
                                      std::string& detail) {
    return manager.unplug(serial, &detail);
}

} // namespace vkey
