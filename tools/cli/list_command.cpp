#include "list_command.h"

#include "cli_texts.h"
#include "key_report.h"

#include <QJsonArray>

namespace cli {

std::string ListCommand::usage() const {
    return "usage: pellorzu-cli list [--json]\n"
           "Lists every key the library sees (virtual keys and PKCS#11 tokens): serial, module, label, "
           "whether\n"
           "it is initialised, the tries left of its user and SO PIN (or 'locked'), and its free and total\n"
           "memory in bytes. With --json: an array of objects with serial, module, label, manufacturer, "
           "model,\n"
           "initialised, userPin and soPin {retriesLeft, maxRetries, locked}, totalMemory and freeMemory.\n";
}

int ListCommand::run(Invocation& invocation) {
    invocation.expectAtMost(0);
    const std::vector<FoundKey>& keys = invocation.keys().keys();
    if (invocation.json()) {
        QJsonArray array;
        for (const FoundKey& key : keys)
            array.append(keyJson(key, false));
        invocation.printJson(array);
        return kDone;
    }
    if (keys.empty()) {
        invocation.print(windowText("K_Find_Error"));
        return kDone;
    }
    invocation.print(keyTableHeader());
    for (const FoundKey& key : keys)
        invocation.print(keyTableRow(key));
    return kDone;
}

} // namespace cli
