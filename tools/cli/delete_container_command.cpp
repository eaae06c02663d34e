#include "delete_container_command.h"

#include "cli_texts.h"
#include "failure.h"
#include "token/flows/certificate_deletion.h"
#include "user_session.h"

namespace cli {

std::string DeleteContainerCommand::usage() const {
    return "usage: pellorzu-cli delete-container KEY CONTAINER [--pin-file FILE | --pin-stdin]\n"
           "Logs in with the user PIN and deletes CONTAINER with its certificates and key pairs. The\n"
           "certificate store is rebuilt afterwards. There is no undo.\n"
           "Secrets: the user PIN.\n";
}

int DeleteContainerCommand::run(Invocation& invocation) {
    invocation.expectAtMost(2);
    const FoundKey& key = invocation.writableKey(0);
    const std::string container = invocation.word(1, "CONTAINER");
    const UserSession session(invocation, key);
    if (const int32_t result = token::flows::deleteContainer(key.slot, container, providerName()))
        throw Failure(kFailed, failureText(windowText("K_DEL_Error"), result));
    invocation.print(windowText("Change_Yes"));
    return kDone;
}

} // namespace cli
