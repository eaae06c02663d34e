#include "key_directory.h"

#include "cli_texts.h"
#include "failure.h"
#include "i18n/string_table.h"
#include "token/flows/key_scan.h"
#include "token/key_table.h"
#include "token/token_ops.h"

#include <QStringList>
#include <algorithm>
#include <cstring>

namespace cli {

namespace {

// Keys of a module the library does not name.
const std::string kUnnamedModule = "pkcs11";

bool sameModule(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace

KeyDirectory::KeyDirectory() {
    const int32_t started = token::init_pkcs11(i18n::text("PKCS11Name").toLocal8Bit().toStdString());
    if (started != 0)
        throw Failure(kFailed, failureText(windowText("K_pkcs11Init_Error"), started));
    const token::flows::KeyScan scan = token::flows::scanKeys();
    // No key at all is an empty list, not a failure.
    if (scan.searchFailed && scan.keyCount == 0)
        return;
    if (scan.code != 0)
        throw Failure(kFailed, failureText(windowText("K_GetKeyInfo_Error"), scan.code));
    for (int32_t slot = 0; slot < scan.keyCount; ++slot) {
        const token::TZartoInfo& record = token::keyTable().keys[slot];
        FoundKey key{slot, std::string(record.serial, strnlen(record.serial, sizeof record.serial)), {}};
        key.module = token::quillard_key_module(slot);
        if (key.module.empty())
            key.module = kUnnamedModule;
        keys_.push_back(std::move(key));
    }
}

KeyDirectory::~KeyDirectory() {
    token::uninit_pkcs11();
}

std::vector<const FoundKey*> KeyDirectory::matching(const std::string& serial,
                                                    const std::optional<std::string>& module) const {
    std::vector<const FoundKey*> found;
    for (const FoundKey& key : keys_)
        if (key.serial == serial && (!module || sameModule(key.module, *module)))
            found.push_back(&key);
    return found;
}

const FoundKey& KeyDirectory::find(const std::string& name, const std::optional<std::string>& module) const {
    std::vector<const FoundKey*> found = matching(name, module);
    // A serial may itself hold a colon; only a name no serial answers to is read as MODULE:SERIAL.
    const std::size_t colon = name.find(':');
    if (found.empty() && !module && colon != std::string::npos)
        found = matching(name.substr(colon + 1), name.substr(0, colon));
    if (found.size() == 1)
        return *found.front();
    if (found.empty())
        throw Failure(kNoSuchKey, text("NoSuchKey").arg(QString::fromStdString(name)));
    QStringList modules;
    for (const FoundKey* key : found)
        modules.append(QString::fromStdString(key->module));
    throw Failure(kNoSuchKey,
                  text("AmbiguousKey").arg(QString::fromStdString(name), modules.join(QStringLiteral(", "))));
}

} // namespace cli
