#include "command_line.h"

#include "command_lookup.h"
#include "create_command.h"
#include "delete_command.h"
#include "demo_command.h"
#include "demo_set_command.h"
#include "list_command.h"
#include "plug_command.h"
#include "unplug_command.h"
#include "usage_error.h"
#include "wiped_words.h"

#include <iomanip>

namespace vkey {

namespace {

constexpr int kUsageStatus = 2;

} // namespace

CommandLine::CommandLine() {
    commands_.push_back(std::make_unique<CreateCommand>());
    commands_.push_back(std::make_unique<ListCommand>());
    commands_.push_back(std::make_unique<PlugCommand>());
    commands_.push_back(std::make_unique<UnplugCommand>());
    commands_.push_back(std::make_unique<DeleteCommand>());
    commands_.push_back(std::make_unique<DemoCommand>());
    commands_.push_back(std::make_unique<DemoSetCommand>());
}

int CommandLine::run(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
    if (words.empty() || tools::isHelpWord(words.front())) {
        Command* command = words.size() > 1 ? find(words[1]) : nullptr;
        if (command)
            out << command->usage();
        else
            printOverview(out);
        return words.empty() ? kUsageStatus : 0;
    }
    Command* command = find(words.front());
    if (!command) {
        err << "pellorzu-vkey: unknown command '" << words.front() << "'\n";
        printOverview(err);
        return kUsageStatus;
    }
    const tools::WipedWords rest(std::vector<std::string>(words.begin() + 1, words.end()));
    if (!rest.words().empty() && tools::isHelpWord(rest.words().front()) && rest.words().front() != "help") {
        out << command->usage();
        return 0;
    }
    try {
        return command->run(rest.words(), out, err);
    } catch (const tools::UsageError& error) {
        err << "pellorzu-vkey " << command->name() << ": " << error.what() << "\n" << command->usage();
        return kUsageStatus;
    }
}

Command* CommandLine::find(const std::string& name) const {
    return tools::findCommand(commands_, name);
}

void CommandLine::printOverview(std::ostream& out) const {
    out << "usage: pellorzu-vkey COMMAND [arguments]\n"
           "Manages the virtual USB keys of PellorZu Admin. A key is plugged in while its files are in the\n"
           "device folder under $XDG_DATA_HOME/Norvale/PellorZu/keys (~/.local/share by default).\n\n"
           "Commands:\n";
    for (const auto& command : commands_)
        out << "  " << std::left << std::setw(10) << command->name() << command->summary() << "\n";
    out << "\n'pellorzu-vkey help COMMAND' explains a command.\n";
}

} // namespace vkey
