#include "serial_command.h"

#include "failure_text.h"
#include "token/lib/quillard_errors.h"
#include "token/lib/softkey/virtual_key_manager.h"
#include "tools/common/arguments.h"
#include "tools/common/usage_error.h"

namespace vkey {

std::string SerialCommand::usage() const {
    return "usage: pellorzu-vkey " + name() + " SERIAL...\n" + explanation();
}

int SerialCommand::run(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
    tools::Arguments arguments(words, {}, {});
    if (arguments.words().empty())
        throw tools::UsageError("name at least one key by its serial");
    quillard::VirtualKeyManager manager;
    int status = 0;
    for (const std::string& serial : arguments.words()) {
        std::string detail;
        quillard::Result result = apply(manager, serial, detail);
        if (result == QR_OK) {
            out << doneText() << " " << serial << ".\n";
        } else {
            err << "pellorzu-vkey: " << name() << " " << serial << ": " << failureText(result, detail)
                << "\n";
            status = 1;
        }
    }
    return status;
}

} // namespace vkey
