#include "keygen_command.h"

#include "cli_texts.h"
#include "key_pair_generation.h"
#include "key_place_arguments.h"
#include "tools/common/usage_error.h"
#include "user_session.h"

namespace cli {

std::string KeygenCommand::usage() const {
    return "usage: pellorzu-cli keygen KEY --container NAME (--exchange | --signature) --algorithm "
           "ALGORITHM\n"
           "                          [--json] [--pin-file FILE | --pin-stdin]\n"
           "Logs in with the user PIN and makes a key pair on the key, in the exchange or signature place "
           "of\n"
           "container NAME (made when the key has none of that name; the place must hold no key pair or\n"
           "certificate). ALGORITHM is rsa2048, rsa3072, rsa4096, ec-p256 or ec-p384, as far as the key "
           "makes\n"
           "it. The private key never leaves the key. With --json: {serial, module, container, spec,\n"
           "algorithm}.\n"
           "Secrets: the user PIN.\n";
}

int KeygenCommand::run(Invocation& invocation) {
    invocation.expectAtMost(1);
    const tools::Arguments& arguments = invocation.arguments();
    const token::flows::KeyPlace place = keyPlaceFrom(arguments);
    const std::optional<std::string> algorithm = arguments.text("algorithm");
    if (!algorithm)
        throw tools::UsageError("--algorithm ALGORITHM is needed");
    const token::KeyPairKind kind = keyKindFrom(*algorithm);
    const FoundKey& key = invocation.key(0);
    const UserSession session(invocation, key);
    generateKeyPair(key, place, kind);
    if (invocation.json()) {
        QJsonObject json = placeJson(key, place);
        json.insert(QStringLiteral("algorithm"), QString::fromStdString(*algorithm));
        invocation.printJson(json);
    } else {
        invocation.print(text("KeyPairMade").arg(QString::fromStdString(*algorithm), placeText(place)));
    }
    return kDone;
}

} // namespace cli
