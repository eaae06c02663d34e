#include "delete_command.h"

#include "token/lib/softkey/virtual_key_manager.h"

namespace vkey {

quillard::Result DeleteCommand::apply(quillard::VirtualKeyManager& manager, const std::string& serial,
                                      std::string& detail) {
    return manager.remove(serial, &detail);
}

} // namespace vkey
