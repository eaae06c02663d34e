#include "command_line.h"

#include "certs_command.h"
#include "change_pin_command.h"
#include "change_so_pin_command.h"
#include "check_command.h"
#include "cli_texts.h"
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
#include "tools/common/usage_error.h"
#include "unlock_command.h"
#include "unregister_command.h"
#include "write_iso_command.h"
// Enrolment: key pairs made on the key, requests, issued certificates, SSH keys.
#include "install_command.h"
#include "keygen_command.h"
#include "request_command.h"
#include "ssh_key_command.h"

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

CommandLine::CommandLine() : CommandSet(kUsage) {
    add(std::make_unique<ListCommand>());
    add(std::make_unique<InfoCommand>());
    add(std::make_unique<CertsCommand>());
    add(std::make_unique<ExportCommand>());
    add(std::make_unique<ImportCommand>());
    add(std::make_unique<DeleteCertCommand>());
    add(std::make_unique<DeleteContainerCommand>());
    add(std::make_unique<RegisterCommand>());
    add(std::make_unique<UnregisterCommand>());
    add(std::make_unique<ChangePinCommand>());
    add(std::make_unique<SetLabelCommand>());
    add(std::make_unique<FormatCommand>());
    add(std::make_unique<ChangeSoPinCommand>());
    add(std::make_unique<UnlockCommand>());
    add(std::make_unique<WriteIsoCommand>());
    add(std::make_unique<ProvisionCommand>());
    add(std::make_unique<RecordsCommand>());
    add(std::make_unique<EscrowCommand>());
    add(std::make_unique<CheckCommand>());
    add(std::make_unique<KeygenCommand>());
    add(std::make_unique<RequestCommand>());
    add(std::make_unique<InstallCommand>());
    add(std::make_unique<SshKeyCommand>());
}

std::string CommandLine::usageOf(const Command& command) const {
    return usageText(command.name(), command.usage());
}

void CommandLine::reportUnknown(const std::string& name, std::ostream& err) const {
    err << utf8(text("UnknownCommand").arg(QString::fromStdString(name))) << "\n";
}

int CommandLine::explainUnknown(const std::string& name, std::ostream&, std::ostream& err) const {
    reportUnknown(name, err);
    return kUsage;
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

void CommandLine::printOverview(std::ostream& out) const {
    out << "usage: pellorzu-cli COMMAND [arguments] [--module NAME] [--pin-file FILE | --pin-stdin] "
           "[--json]\n"
        << utf8(text("Overview")) << "\n\n";
    for (const auto& command : commands())
        out << "  " << std::left << std::setw(18) << command->name()
            << utf8(text(("Summary_" + command->name()).c_str())) << "\n";
    out << "\n" << utf8(text("OverviewDetails")) << "\n";
}

} // namespace cli
