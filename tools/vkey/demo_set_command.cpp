#include "demo_set_command.h"

#include "demo_content.h"
#include "failure_text.h"
#include "token/lib/paths.h"
#include "token/lib/private_files.h"
#include "token/lib/quillard_errors.h"
#include "token/lib/softkey/virtual_key_manager.h"
#include "tools/common/arguments.h"
#include "tools/common/usage_error.h"

namespace vkey {

namespace {

// The demo PINs, documented for users in the README; the tool never prints them.
constexpr const char* kDemoUserPin = "12345678";
constexpr const char* kDemoSoPin = "87654321";

struct DemoKey {
    const char* serial;
    const char* label;
    bool initialised;
    int userRetries;
    int64_t memory;
};

constexpr DemoKey kDemoKeys[] = {{"PZDEMO0001", "Demo key 1", true, 10, 65536},
                                 {"PZDEMO0002", "演示密钥 2", true, 5, 16384},
                                 {"PZDEMO0003", "Blank key", false, 10, 65536}};

quillard::VirtualKeySettings settingsOf(const DemoKey& key, const quillard::SecureString& userPin,
                                        const quillard::SecureString& soPin, int32_t kdfIterations) {
    quillard::VirtualKeySettings settings;
    settings.serial = key.serial;
    settings.label = key.label;
    settings.initialised = key.initialised;
    settings.userPolicy.maxRetries = key.userRetries;
    settings.totalMemory = key.memory;
    settings.kdfIterations = kdfIterations;
    if (key.initialised) {
        settings.userPin = userPin;
        settings.soPin = soPin;
    }
    return settings;
}

// Present while a demo set is being made: a run killed part-way leaves it, and the next run starts over.
std::filesystem::path unfinishedMarker() {
    return quillard::dataFolder() / "demo-set.unfinished";
}

quillard::Result makeDemoKey(const quillard::VirtualKeySettings& settings, bool replace,
                             std::string& detail) {
    std::string serial;
    quillard::VirtualKeyManager manager;
    if (replace)
        manager.remove(settings.serial); // a key the unfinished run made, complete or not
    quillard::Result result = manager.create(settings, serial, &detail);
    if (result == QR_OK && settings.initialised)
        result = DemoContent::fill(serial, settings.userPin, detail);
    return result;
}

} // namespace

std::string DemoSetCommand::usage() const {
    return "usage: pellorzu-vkey demo-set [--user-pin PIN] [--so-pin PIN] [--kdf-iterations N]\n"
           "When no virtual key exists, creates PZDEMO0001 and PZDEMO0002, initialised and filled with demo\n"
           "certificates, and the blank key PZDEMO0003. Without --user-pin and --so-pin the keys get the "
           "demo PINs\n"
           "named in the README. When any virtual key exists it does nothing, unless an earlier demo-set "
           "was\n"
           "stopped part-way: then the demo keys are made again.\n";
}

int DemoSetCommand::run(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
    tools::Arguments arguments(words, {"user-pin", "so-pin", "kdf-iterations"}, {});
    if (!arguments.words().empty())
        throw tools::UsageError("unexpected argument " + arguments.words().front());
    quillard::SecureString userPin = arguments.secret("user-pin").value_or(kDemoUserPin);
    quillard::SecureString soPin = arguments.secret("so-pin").value_or(kDemoSoPin);
    auto iterations = static_cast<int32_t>(
        arguments.integer("kdf-iterations", quillard::VirtualKeySettings().kdfIterations, 1, 100000000));
    std::error_code error;
    const bool unfinished = std::filesystem::exists(unfinishedMarker(), error);
    if (!unfinished && !quillard::VirtualKeyManager().list().empty()) {
        out << "Virtual keys exist already; no demo set was created.\n";
        return 0;
    }
    if (unfinished)
        out << "An earlier demo-set was stopped part-way; making the demo keys again.\n";
    if (quillard::makePrivateFolder(quillard::dataFolder()) != QR_OK ||
        quillard::createPrivateFile(unfinishedMarker()) != QR_OK) {
        err << "pellorzu-vkey: demo-set: cannot write " << unfinishedMarker().string() << "\n";
        return 1;
    }
    for (const DemoKey& key : kDemoKeys) {
        std::string detail;
        quillard::Result result =
            makeDemoKey(settingsOf(key, userPin, soPin, iterations), unfinished, detail);
        if (result != QR_OK) {
            err << "pellorzu-vkey: demo-set " << key.serial << ": " << failureText(result, detail) << "\n";
            return 1;
        }
        out << "Created " << key.serial << " ("
            << (key.initialised ? "initialised, with demo content" : "blank") << ").\n"
            << std::flush;
    }
    std::filesystem::remove(unfinishedMarker(), error);
    return 0;
}

} // namespace vkey
