#include "import_command.h"

#include "certificate_file_import.h"
#include "cli_texts.h"
#include "token/cert_presence.h"
#include "tools/common/usage_error.h"
#include "user_session.h"

namespace cli {

std::string ImportCommand::usage() const {
    return "usage: pellorzu-cli import KEY FILE [--container NAME | --new] [--exchange | --signature]\n"
           "                          [--pin-file FILE | --pin-stdin]\n"
           "Logs in with the user PIN and imports FILE: a PKCS#12 file (.p12 or .pfx; its password is asked\n"
           "for; its last key pair is taken) or an X.509 certificate file (any other name, DER or PEM).\n"
           "  --container NAME   into the container NAME, which is created when the key has none of that\n"
           "                     name; an existing one must not hold a certificate of the same "
           "specification\n"
           "  --new              into a new container with a fresh GUID for a name (the default)\n"
           "  --exchange         as the exchange pair (the default); --signature as the signature pair\n"
           "  --allow-expired    import a certificate that has expired or is not valid yet (refused\n"
           "                     otherwise, with its dates)\n"
           "A failed import leaves nothing behind: a container made for it is deleted again. After an "
           "import\n"
           "the key's RSA certificates are registered in the certificate store, as the window does.\n"
           "Secrets: the user PIN, then (PKCS#12 only) the file's password.\n";
}

int ImportCommand::run(Invocation& invocation) {
    invocation.expectAtMost(2);
    tools::Arguments& arguments = invocation.arguments();
    if (arguments.has("container") && arguments.has("new"))
        throw tools::UsageError("--container and --new exclude each other");
    if (arguments.has("exchange") && arguments.has("signature"))
        throw tools::UsageError("--exchange and --signature exclude each other");
    const FoundKey& key = invocation.writableKey(0);
    ImportRequest request;
    request.path = QString::fromLocal8Bit(invocation.word(1, "FILE"));
    request.spec = arguments.has("signature") ? token::kSignatureSpec : token::kExchangeSpec;
    request.container = arguments.text("container");
    request.refuseOutsideValidity = !arguments.has("allow-expired");
    const UserSession session(invocation, key);
    const std::string container = importCertificateFile(
        key, request, [&invocation] { return invocation.secrets().next(text("Pkcs12PasswordPrompt")); });
    invocation.print(text("Imported").arg(QString::fromLocal8Bit(container)));
    return kDone;
}

} // namespace cli
