#include "demo_command.h"

#include "demo_content.h"
#include "failure_text.h"
#include "token/lib/quillard_errors.h"
#include "tools/common/arguments.h"
#include "tools/common/usage_error.h"

namespace vkey {

std::string DemoCommand::usage() const {
    return "usage: pellorzu-vkey demo SERIAL --user-pin PIN\n"
           "Logs in to the plugged-in key SERIAL and stores two containers, PellorZu-Demo-RSA2048 and\n"
           "PellorZu-Demo-ECP256, each with an exchange and a signature key pair and their self-signed\n"
           "certificates. Containers that exist already get fresh pairs.\n";
}

int DemoCommand::run(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
    tools::Arguments arguments(words, {"user-pin"}, {});
    if (arguments.words().size() != 1)
        throw tools::UsageError("name exactly one key by its serial");
    std::optional<quillard::SecureString> pin = arguments.secret("user-pin");
    if (!pin)
        throw tools::UsageError("the key's user PIN is needed: --user-pin PIN");
    const std::string& serial = arguments.words().front();
    std::string detail;
    quillard::Result result = DemoContent::fill(serial, *pin, detail);
    if (result != QR_OK) {
        err << "pellorzu-vkey: demo " << serial << ": " << failureText(result, detail) << "\n";
        return 1;
    }
    out << "Filled " << serial << " with demo certificates and key pairs.\n";
    return 0;
}

} // namespace vkey
