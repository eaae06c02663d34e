#include "create_command.h"

#include "failure_text.h"
#include "token/lib/quillard_errors.h"
#include "token/lib/softkey/virtual_key_manager.h"
#include "tools/common/arguments.h"
#include "tools/common/usage_error.h"

namespace vkey {

namespace {

const std::set<std::string> kOptions = {"serial",       "label",      "manufacturer",  "product-id",
                                        "user-pin",     "so-pin",     "user-pin-min",  "user-pin-max",
                                        "user-retries", "so-pin-min", "so-pin-max",    "so-retries",
                                        "memory",       "disk",       "kdf-iterations"};
const std::set<std::string> kSwitches = {"blank", "unplugged"};

quillard::softkey::PinPolicy policyFrom(const tools::Arguments& arguments, const std::string& prefix,
                                        const std::string& retries) {
    quillard::softkey::PinPolicy policy;
    policy.minLength = static_cast<int>(arguments.integer(prefix + "-min", policy.minLength, 1, 32));
    policy.maxLength = static_cast<int>(arguments.integer(prefix + "-max", policy.maxLength, 1, 32));
    policy.maxRetries = static_cast<int>(arguments.integer(retries, policy.maxRetries, 1, 15));
    return policy;
}

// The PIN of an initialised key must be given; a blank key takes none.
quillard::SecureString pinFrom(tools::Arguments& arguments, const std::string& name, bool initialised) {
    std::optional<quillard::SecureString> pin = arguments.secret(name);
    if (initialised && !pin)
        throw tools::UsageError("an initialised key needs --" + name + " (or create it --blank)");
    if (!initialised && pin)
        throw tools::UsageError("a blank key has no PINs: leave out --" + name);
    return pin.value_or(quillard::SecureString());
}

quillard::VirtualKeySettings settingsFrom(tools::Arguments&& arguments) {
    if (!arguments.words().empty())
        throw tools::UsageError("unexpected argument " + arguments.words().front());
    quillard::VirtualKeySettings settings;
    settings.serial = arguments.text("serial").value_or("");
    settings.label = arguments.text("label").value_or("");
    settings.manufacturer = arguments.text("manufacturer").value_or(settings.manufacturer);
    settings.productId = static_cast<int32_t>(arguments.integer("product-id", settings.productId, 0, 0xFFFF));
    settings.initialised = !arguments.has("blank");
    settings.plugged = !arguments.has("unplugged");
    settings.userPolicy = policyFrom(arguments, "user-pin", "user-retries");
    settings.soPolicy = policyFrom(arguments, "so-pin", "so-retries");
    settings.userPin = pinFrom(arguments, "user-pin", settings.initialised);
    settings.soPin = pinFrom(arguments, "so-pin", settings.initialised);
    settings.totalMemory = static_cast<int64_t>(arguments.size("memory", settings.totalMemory));
    settings.diskBytes = arguments.size("disk", settings.diskBytes);
    settings.kdfIterations =
        static_cast<int32_t>(arguments.integer("kdf-iterations", settings.kdfIterations, 1, 100000000));
    return settings;
}

} // namespace

std::string CreateCommand::usage() const {
    return "usage: pellorzu-vkey create [options]\n"
           "Creates a virtual key. It is plugged in at once unless --unplugged is given.\n"
           "  --serial TEXT          1 to 32 letters, digits, '-' or '_' (default: a random one)\n"
           "  --label TEXT           UTF-8 label of fewer than 32 bytes (default: empty)\n"
           "  --manufacturer TEXT    at most 32 bytes (default: Norvale)\n"
           "  --product-id N         USB product id, decimal or 0x... (default: 0xE917)\n"
           "  --user-pin PIN         the user PIN of an initialised key\n"
           "  --so-pin PIN           the SO PIN of an initialised key\n"
           "  --blank                a key that was never initialised (no PINs)\n"
           "  --unplugged            create the key unplugged\n"
           "  --user-pin-min N, --user-pin-max N   user PIN lengths, 1 to 32 (default: 4 and 16)\n"
           "  --so-pin-min N, --so-pin-max N       SO PIN lengths, 1 to 32 (default: 4 and 16)\n"
           "  --user-retries N, --so-retries N     tries before a PIN locks, 1 to 15 (default: 10)\n"
           "  --memory SIZE          memory for containers and certificates (default: 64K)\n"
           "  --disk SIZE            disk area, whole 2048-byte sectors (default: 16M)\n"
           "  --kdf-iterations N     PBKDF2 iterations for the PINs (default: 600000)\n"
           "SIZE is a number of bytes, optionally followed by K, M or G.\n";
}

int CreateCommand::run(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
    quillard::VirtualKeySettings settings = settingsFrom(tools::Arguments(words, kOptions, kSwitches));
    std::string serial;
    std::string detail;
    quillard::Result result = quillard::VirtualKeyManager().create(settings, serial, &detail);
    if (result != QR_OK) {
        err << "pellorzu-vkey: cannot create the key: " << failureText(result, detail) << "\n";
        return 1;
    }
    out << "Created virtual key " << serial << " (" << (settings.initialised ? "initialised" : "blank")
        << ", " << (settings.plugged ? "plugged in" : "unplugged") << ").\n";
    return 0;
}

} // namespace vkey
