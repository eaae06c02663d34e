#include "info_command.h"

#include "key_report.h"

namespace cli {

std::string InfoCommand::usage() const {
    return "usage: pellorzu-cli info KEY [--json]\n"
           "Shows one key: serial, module, label, manufacturer, model, whether it is initialised, its user "
           "and\n"
           "SO PIN states, PIN lengths, memory and hardware and firmware versions. KEY is the key's serial, "
           "or\n"
           "MODULE:SERIAL (or --module MODULE) where two modules could share a serial. With --json: the "
           "object\n"
           "of 'list' with minPinLength, maxPinLength, minSoPinLength, hardwareVersion and "
           "firmwareVersion.\n";
}

int InfoCommand::run(Invocation& invocation) {
    invocation.expectAtMost(1);
    const FoundKey& key = invocation.key(0);
    if (invocation.json()) {
        invocation.printJson(keyJson(key, true));
        return kDone;
    }
    for (const QString& line : keyLines(key))
        invocation.print(line);
    return kDone;
}

} // namespace cli
