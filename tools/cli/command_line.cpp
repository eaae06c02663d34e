#include "command_line.h"

#include "certs_command.h"
#include "change_pin_command.h"
#include "change_so_pin_command.h"
#include "cli_texts.h"
#include "command_lookup.h"
#include "delete_cert_command.h"
#include "delete_container_command.h"
#include "escrow_command.h"
#include "export_command.h"
#include "failure.h"
#include "format_command.h"
#include "import_command.h"
#include "info_command.h"
#include "list_command.h"
#include "provision_command.h"
#include "records_command.h"
#include "register_command.h"
#include "set_label_command.h"
#include "unlock_command.h"
#include "unregister_command.h"
#include "usage_error.h"
#include "write_iso_command.h"

#include <iomanip>

namespace cli {

namespace {

const std::set<std::string> kCommonOptions = {"module", "pin-file"};
const std::set<std::string> kCommonSwitches = {"pin-stdin"};

std::set<std::string> joined(std::set<std::string> own, const std::set<std::string>& common) {
    own.insert(common.begin(), common.end());
    return own;
}

} // namespace

CommandLine::CommandLine() {
    commands_.push_back(std::make_unique<ListCommand>());
    commands_.push_back(std::make_unique<InfoCommand>());
    commands_.push_back(std::make_unique<CertsCommand>());
    commands_.push_back(std::make_unique<ExportCommand>());
    commands_.push_back(std::make_unique<ImportCommand>());
    commands_.push_back(std::make_unique<DeleteCertCommand>());
    commands_.push_back(std::make_unique<DeleteContainerCommand>());
    commands_.push_back(std::make_unique<RegisterCommand>());
    commands_.push_back(std::make_unique<UnregisterCommand>());
    commands_.push_back(std::make_unique<ChangePinCommand>());
    commands_.push_back(std::make_unique<SetLabelCommand>());
    commands_.push_back(std::make_unique<FormatCommand>());
    commands_.push_back(std::make_unique<ChangeSoPinCommand>());
    commands_.push_back(std::make_unique<UnlockCommand>());
    commands_.push_back(std::make_unique<WriteIsoCommand>());
    commands_.push_back(std::make_unique<ProvisionCommand>());
    commands_.push_back(std::make_unique<RecordsCommand>());
    commands_.push_back(std::make_unique<EscrowCommand>());
}

int CommandLine::run(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
    if (words.empty() || tools::isHelpWord(words.front())) {
        Command* command = words.size() > 1 ? find(words[1]) : nullptr;
        if (words.size() > 1 && !command) {
            err << utf8(text("UnknownCommand").arg(QString::fromStdString(words[1]))) << "\n";
            return kUsage;
        }
        if (command)
            out << usageText(command->name(), command->usage());
        else
            printOverview(out);
        return words.empty() ? kUsage : kDone;
    }
    Command* command = find(words.front());
    if (!command) {
        err << utf8(text("UnknownCommand").arg(QString::fromStdString(words.front()))) << "\n";
        printOverview(err);
        return kUsage;
    }
    const std::vector<std::string> rest(words.begin() + 1, words.end());
    if (!rest.empty() && (rest.front() == "--help" || rest.front() == "-h")) {
        out << usageText(command->name(), command->usage());
        return kDone;
    }
    return runCommand(*command, rest, out, err);
}

int CommandLine::runCommand(Command& command, const std::vector<std::string>& words, std::ostream& out,
                            std::ostream& err) {
    try {
        std::set<std::string> switches = joined(command.switches(), kCommonSwitches);
        if (command.reads())
            switches.insert("json");
        Invocation invocation(tools::Arguments(words, joined(command.options(), kCommonOptions), switches),
                              out, err);
        return command.run(invocation);
    } catch (const tools::UsageError& error) {
        err << "pellorzu-cli " << command.name() << ": " << error.what() << "\n"
            << usageText(command.name(), command.usage());
        return kUsage;
    } catch (const Failure& failure) {
        err << "pellorzu-cli " << command.name() << ": " << utf8(failure.message()) << "\n";
        return failure.code();
    }
}

Command* CommandLine::find(const std::string& name) const {
    return tools::findCommand(commands_, name);
}

void CommandLine::printOverview(std::ostream& out) const {
    out << "usage: pellorzu-cli COMMAND [arguments] [--module NAME] [--pin-file FILE | --pin-stdin] "
           "[--json]\n"
        << utf8(text("Overview")) << "\n\n";
    for (const auto& command : commands_)
        out << "  " << std::left << std::setw(18) << command->name()
            << utf8(text(("Summary_" + command->name()).c_str())) << "\n";
    out << "\n" << utf8(text("OverviewDetails")) << "\n";
}

} // namespace cli
