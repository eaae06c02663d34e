#include "list_command.h"

#include "token/lib/softkey/virtual_key_manager.h"
#include "token/lib/utf8_text.h"
#include "tools/common/arguments.h"
#include "tools/common/usage_error.h"

#include <cstdio>
#include <optional>

namespace vkey {

namespace {

// Terminal cells taken by a character: two for CJK, Hangul and full-width forms (U+2E80 to U+D7FF, U+FF00 to
// U+FF60, U+20000 to U+3FFFF), one for the rest, a malformed sequence included.
std::size_t cellsOf(std::optional<char32_t> character) {
    const char32_t code = character.value_or(0);
    bool wide = (code >= 0x2E80 && code <= 0xD7FF) || (code >= 0xFF00 && code <= 0xFF60) ||
                (code >= 0x20000 && code <= 0x3FFFF);
    return wide ? 2 : 1;
}

// Pads `text` to `width` terminal cells.
std::string column(const std::string& text, std::size_t width) {
    std::size_t cells = 0;
    for (std::size_t position = 0; position < text.size();)
        cells += cellsOf(quillard::nextUtf8Character(text, position));
    return text + std::string(cells < width ? width - cells : 0, ' ') + " ";
}

std::string pinText(const quillard::PinState& pin, bool initialised) {
    if (!initialised)
        return "-";
    if (pin.locked)
        return "locked";
    return std::to_string(pin.retriesLeft) + "/" + std::to_string(pin.maxRetries) + " left";
}

std::string productText(int32_t productId) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(productId));
    return text;
}

void printHeader(std::ostream& out) {
    out << column("STATE", 9) << column("SERIAL", 16) << column("LABEL", 20) << column("INIT", 4)
        << column("USER PIN", 10) << column("SO PIN", 10) << column("MEMORY FREE/TOTAL", 17)
        << column("CONTAINERS", 10) << "PRODUCT\n";
}

void printKey(std::ostream& out, const quillard::VirtualKeyStatus& key) {
    out << column(key.plugged ? "plugged" : "unplugged", 9) << column(key.serial, 16);
    if (!key.problem.empty()) {
        out << "cannot be read: " << key.problem << "\n";
        return;
    }
    out << column(quillard::escapeControls(key.label), 20) << column(key.initialised ? "yes" : "no", 4)
        << column(pinText(key.userPin, key.initialised), 10)
        << column(pinText(key.soPin, key.initialised), 10)
        << column(std::to_string(key.freeMemory) + "/" + std::to_string(key.totalMemory), 17)
        << column(std::to_string(key.containers), 10) << productText(key.productId) << "\n";
}

} // namespace

std::string ListCommand::usage() const {
    return "usage: pellorzu-vkey list\n"
           "Lists every virtual key, plugged in or unplugged, with its label, whether it is initialised, the "
           "tries\n"
           "left of its user and SO PIN, its free and total memory in bytes, its containers and its product "
           "id.\n";
}

int ListCommand::run(const std::vector<std::string>& words, std::ostream& out, std::ostream&) {
    tools::Arguments arguments(words, {}, {});
    if (!arguments.words().empty())
        throw tools::UsageError("unexpected argument " + arguments.words().front());
    std::vector<quillard::VirtualKeyStatus> keys = quillard::VirtualKeyManager().list();
    if (keys.empty()) {
        out << "No virtual keys.\n";
        return 0;
    }
    printHeader(out);
    for (const quillard::VirtualKeyStatus& key : keys)
        printKey(out, key);
    return 0;
}

} // namespace vkey
