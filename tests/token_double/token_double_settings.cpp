#include "token_double_settings.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

namespace token_double {

namespace {

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

std::map<std::string, std::string> fileValues() {
    std::map<std::string, std::string> values;
    const char* path = std::getenv("PZ_TEST_TOKEN_SETTINGS");
    if (!path || !*path)
        return values;
    std::ifstream file(path);
    std::string line;
    while (std::getline(file, line)) {
        const auto equals = line.find('=');
        if (equals != std::string::npos)
            values[trimmed(line.substr(0, equals))] = trimmed(line.substr(equals + 1));
    }
    return values;
}

std::string environmentName(const std::string& name) {
    std::string upper = "PZ_TEST_TOKEN_";
    for (const char c : name)
        upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

long number(const std::string& text) {
    return std::strtol(text.c_str(), nullptr, 10);
}

std::set<std::string> functionNames(const std::string& list) {
    std::set<std::string> names;
    std::istringstream stream(list);
    std::string name;
    while (std::getline(stream, name, ','))
        if (!trimmed(name).empty())
            names.insert(trimmed(name));
    return names;
}

} // namespace

Settings readSettings() {
    std::map<std::string, std::string> values = fileValues();
    for (const char* name : {"module", "delay_ms", "delayed", "pin_pad", "pin", "so_pin", "new_pin",
                             "new_so_pin", "write_protected", "no_login", "vanish_during", "vanish_file"})
        if (const char* value = std::getenv(environmentName(name).c_str()))
            values[name] = value;

    Settings settings;
    settings.module = values["module"];
    settings.delayMs = static_cast<int>(number(values["delay_ms"]));
    settings.delayed = functionNames(values["delayed"]);
    settings.delayAll = settings.delayed.count("*") > 0;
    settings.pinPad = number(values["pin_pad"]) != 0;
    settings.userPin = values["pin"];
    settings.soPin = values["so_pin"];
    settings.newUserPin = values["new_pin"];
    settings.newSoPin = values["new_so_pin"];
    settings.writeProtected = number(values["write_protected"]) != 0;
    settings.noLogin = number(values["no_login"]) != 0;
    settings.vanishDuring = values["vanish_during"];
    settings.vanishFile = values["vanish_file"];
    return settings;
}

} // namespace token_double
