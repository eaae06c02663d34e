#include "delete_cert_command.h"

#include "cli_texts.h"
#include "failure.h"
#include "key_spec.h"
#include "token/flows/certificate_deletion.h"
#include "user_session.h"

namespace cli {

std::string DeleteCertCommand::usage() const {
    return "usage: pellorzu-cli delete-cert KEY CONTAINER SPEC [--pin-file FILE | --pin-stdin]\n"
           "Logs in with the user PIN and deletes the certificate of SPEC (exchange or signature, 1 or 2) "
           "in\n"
           "CONTAINER with its key pair. The certificate store is rebuilt afterwards, so no entry is left "
           "for\n"
           "it. There is no undo.\n"
           "Secrets: the user PIN.\n";
}

int DeleteCertCommand::run(Invocation& invocation) {
    invocation.expectAtMost(3);
    const FoundKey& key = invocation.writableKey(0);
    const std::string container = invocation.word(1, "CONTAINER");
    const int32_t spec = parseKeySpec(invocation.word(2, "SPEC"));
    const UserSession session(invocation, key);
    if (const int32_t result = token::flows::deleteCertificate(key.slot, container, spec, providerName()))
        throw Failure(kFailed, failureText(windowText("K_DEL_Error"), result));
    invocation.print(windowText("Change_Yes"));
    return kDone;
}

} // namespace cli
