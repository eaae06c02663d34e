#include "register_command.h"

#include "cli_texts.h"
#include "failure.h"
#include "token/flows/store_registration.h"
#include "user_session.h"

namespace cli {

std::string RegisterCommand::usage() const {
    return "usage: pellorzu-cli register KEY [--pin-file FILE | --pin-stdin]\n"
           "Logs in with the user PIN and puts the RSA certificates of every container of the key into the\n"
           "per-user certificate store under the provider's name, as the window's Register does.\n"
           "Secrets: the user PIN.\n";
}

int RegisterCommand::run(Invocation& invocation) {
    invocation.expectAtMost(1);
    const FoundKey& key = invocation.key(0);
    const UserSession session(invocation, key);
    if (const int32_t result = token::flows::registerKeyCertificates(key.slot, providerName()))
        throw Failure(kFailed, failureText(windowText("Change_No"), result));
    invocation.print(windowText("Change_Yes"));
    return kDone;
}

} // namespace cli
