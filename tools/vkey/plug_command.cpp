#include "plug_command.h"

#include "token/lib/softkey/virtual_key_manager.h"

namespace vkey {

quillard::Result PlugCommand::apply(quillard::VirtualKeyManager& manager, const std::string& serial,
                                    std::string& detail) {
    return manager.plug(serial, &detail);
}

} // namespace vkey
