#include "list_command.h"

#include "arguments.h"
#include "softkey/virtual_key_manager.h"
#include "usage_error.h"

#include <cstdio>

namespace vkey {

namespace {

// Terminal cells taken by the UTF-8 sequence starting at text[i]: two for CJK, Hangul and full-width forms
// (U+2E80 to U+D7FF, U+FF00 to U+FF60, U+20000 and up), one for the rest.
std::size_t cellsOf(const std::string& text, std::size_t i) {
    auto lead = static_cast<unsigned char>(text[i]);
    auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
    bool wide = (lead >= 0xE3 && lead <= 0xED) || (lead == 0xE2 && next >= 0xBA) ||
                (lead == 0xEF && (next == 0xBC || (next == 0xBD && i + 2 < text.size() &&
                                                   static_cast<unsigned char>(text[i + 2]) <= 0xA0))) ||
                (lead == 0xF0 && next >= 0xA0);
    return wide ? 2 : 1;
}

// Pads `text` to `width` terminal cells.
std::string column(const std::string& text, std::size_t width) {
    std::size_t cells = 0;
    for (std::size_t i = 0; i < text.size(); ++i)
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80)
            cells += cellsOf(text, i);
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
    out << column(key.label, 20) << column(key.initialised ? "yes" : "no", 4)
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
    Arguments arguments(words, {}, {});
    if (!arguments.words().empty())
        throw UsageError("unexpected argument " + arguments.words().front());
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
