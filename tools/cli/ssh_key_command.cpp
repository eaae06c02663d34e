#include "ssh_key_command.h"

#include "cli_texts.h"
#include "failure.h"
#include "key_place_arguments.h"
#include "ssh_public_key.h"
#include "token/cert_presence.h"
#include "token/key_table.h"
#include "token/token_ops.h"
#include "user_session.h"

#include <QJsonArray>
#include <algorithm>

namespace cli {

namespace {

struct SshKey {
    token::flows::KeyPlace place;
    std::string line;
};

std::vector<token::flows::KeyPlace> everyPlace(const FoundKey& key) {
    token::TZartoInfo& record = token::keyTable().keys[key.slot];
    if (const int32_t result = token::LoadContainerList(key.slot, record))
        throw Failure(kFailed, failureText(windowText("K_GetKeyCert_Error"), result));
    std::vector<token::flows::KeyPlace> places;
    for (int32_t i = 0; i < std::clamp(record.containerCount, 0, token::kMaxContainers); ++i)
        for (const int32_t spec : {token::kExchangeSpec, token::kSignatureSpec})
            places.push_back({record.containerNames[i], spec});
    return places;
}

// The OpenSSH line of the pair at `place`; empty when it holds no RSA or EC public key.
std::string sshLineOf(const FoundKey& key, const token::flows::KeyPlace& place) {
    token::PublicKeyFacts facts;
    if (token::container_public_key(key.slot, place.container, place.spec, facts) != 0)
        return {};
    return opensshPublicKey(facts.subjectPublicKeyInfo, key.serial + "/" + place.container);
}

} // namespace

std::string SshKeyCommand::usage() const {
    return "usage: pellorzu-cli ssh-key KEY [--container NAME (--exchange | --signature)] [--json]\n"
           "                           [--pin-file FILE | --pin-stdin]\n"
           "Logs in with the user PIN and prints the OpenSSH public key line (ssh-rsa, ecdsa-sha2-nistp256 "
           "or\n"
           "ecdsa-sha2-nistp384) of every RSA and EC key pair on the key, or of the one place named, with\n"
           "SERIAL/CONTAINER as its comment. With --json: [{serial, module, container, spec, sshKey}].\n"
           "Secrets: the user PIN.\n";
}

int SshKeyCommand::run(Invocation& invocation) {
    invocation.expectAtMost(1);
    const bool onePlace = namesKeyPlace(invocation.arguments());
    const token::flows::KeyPlace named =
        onePlace ? keyPlaceFrom(invocation.arguments()) : token::flows::KeyPlace{};
    const FoundKey& key = invocation.key(0);
    const UserSession session(invocation, key);
    std::vector<SshKey> keys;
    for (const token::flows::KeyPlace& place : onePlace ? std::vector{named} : everyPlace(key))
        if (std::string line = sshLineOf(key, place); !line.empty())
            keys.push_back({place, std::move(line)});
    if (keys.empty())
        throw Failure(kFailed, text("NoSshKeys"));
    if (invocation.json()) {
        QJsonArray array;
        for (const SshKey& found : keys) {
            QJsonObject json = placeJson(key, found.place);
            json.insert(QStringLiteral("sshKey"), QString::fromStdString(found.line));
            array.append(json);
        }
        invocation.printJson(array);
    } else {
        for (const SshKey& found : keys)
            invocation.print(QString::fromStdString(found.line));
    }
    return kDone;
}

} // namespace cli
