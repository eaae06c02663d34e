#include "unregister_command.h"

#include "cli_texts.h"
#include "failure.h"
#include "token/token_ops.h"
#include "user_session.h"

namespace cli {

std::string UnregisterCommand::usage() const {
    return "usage: pellorzu-cli unregister\n"
           "Removes every entry of the provider from the per-user certificate store, as the window's\n"
           "Unregister does (the store's entries are the provider's, not one key's). Needs no key and no "
           "PIN.\n";
}

int UnregisterCommand::run(Invocation& invocation) {
    invocation.expectAtMost(0);
    invocation.keys();
    if (const int32_t result = token::remove_all_certs_from_store(providerName()))
        throw Failure(kFailed, failureText(windowText("Change_No"), result));
    invocation.print(windowText("Change_Yes"));
    return kDone;
}

} // namespace cli
