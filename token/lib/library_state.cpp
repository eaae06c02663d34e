#include "library_state.h"

#include "paths.h"
#include "quillard_errors.h"
#include "softkey/softkey_driver.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>

namespace quillard {

namespace {

constexpr const char* kMakerModuleStem = "zarto_pkcs11";

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

} // namespace

std::string moduleStem(const std::string& moduleName) {
    return lowerCase(std::filesystem::path(moduleName).stem().string());
}

bool isMakerModule(const std::string& moduleName) {
    return moduleStem(moduleName) == kMakerModuleStem;
}

LibraryState& libraryState() {
    static LibraryState state;
    return state;
}

Result makeDriver(const char* moduleName, std::unique_ptr<Driver>& driver) {
    if (!moduleName || !*moduleName)
        return QR_ARGUMENTS_BAD;
    if (!isMakerModule(moduleName))
        return QR_MODULE_NOT_FOUND;
    driver = std::make_unique<SoftkeyDriver>(keysFolder());
    return QR_OK;
}

} // namespace quillard
