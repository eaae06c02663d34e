#include "command_line.h"

#include "create_command.h"
#include "delete_command.h"
#include "demo_command.h"
#include "demo_set_command.h"
#include "list_command.h"
#include "plug_command.h"
#include "tools/common/usage_error.h"
#include "unplug_command.h"

#include <iomanip>

namespace vkey {

namespace {

constexpr int kUsageStatus = 2;

} // namespace

CommandLine::CommandLine() : CommandSet(kUsageStatus) {
    add(std::make_unique<CreateCommand>());
    add(std::make_unique<ListCommand>());
    add(std::make_unique<PlugCommand>());
    add(std::make_unique<UnplugCommand>());
    add(std::make_unique<DeleteCommand>());
    add(std::make_unique<DemoCommand>());
    add(std::make_unique<DemoSetCommand>());
}

void CommandLine::reportUnknown(const std::string& name, std::ostream& err) const {
    err << "pellorzu-vkey: unknown command '" << name << "'\n";
}

int CommandLine::runCommand(Command& command, const std::vector<std::string>& words, std::ostream& out,
                            std::ostream& err) {
    try {
        return command.run(words, out, err);
    } catch (const tools::UsageError& error) {
        err << "pellorzu-vkey " << command.name() << ": " << error.what() << "\n" << command.usage();
        return kUsageStatus;
    }
}

void CommandLine::printOverview(std::ostream& out) const {
    out << "usage: pellorzu-vkey COMMAND [arguments]\n"
           "Manages the virtual USB keys of PellorZu Admin. A key is plugged in while its files are in the\n"
           "device folder under $XDG_DATA_HOME/Norvale/PellorZu/keys (~/.local/share by default).\n\n"
           "Commands:\n";
    for (const auto& command : commands())
        out << "  " << std::left << std::setw(10) << command->name() << command->summary() << "\n";
    out << "\n'pellorzu-vkey help COMMAND' explains a command.\n";
}

} // namespace vkey
