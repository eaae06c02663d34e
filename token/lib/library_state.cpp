#include "library_state.h"

#include "driver_set.h"
#include "paths.h"
#include "quillard_errors.h"
#include "token/lib/pkcs11/pkcs11_driver.h"
#include "token/lib/softkey/softkey_driver.h"

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

namespace {

std::vector<std::unique_ptr<Driver>> registeredModuleDrivers() {
    std::vector<std::unique_ptr<Driver>> drivers;
    for (std::unique_ptr<pkcs11::Pkcs11Module>& module : pkcs11::Pkcs11Module::loadRegistered())
        drivers.push_back(std::make_unique<pkcs11::Pkcs11Driver>(std::move(module)));
    return drivers;
}

} // namespace

Result makeDriver(const char* moduleName, std::unique_ptr<Driver>& driver, bool modulesInBackground) {
    if (!moduleName || !*moduleName)
        return QR_ARGUMENTS_BAD;
    if (!isMakerModule(moduleName)) {
        std::unique_ptr<pkcs11::Pkcs11Module> module;
        Result result = pkcs11::Pkcs11Module::loadNamed(moduleName, module);
        if (result == QR_OK)
            driver = std::make_unique<pkcs11::Pkcs11Driver>(std::move(module));
        return result;
    }
    std::vector<std::unique_ptr<Driver>> drivers;
    drivers.push_back(std::make_unique<SoftkeyDriver>(keysFolder()));
    if (modulesInBackground) {
        driver = std::make_unique<DriverSet>(std::move(drivers), registeredModuleDrivers);
        return QR_OK;
    }
    for (std::unique_ptr<Driver>& module : registeredModuleDrivers())
        drivers.push_back(std::move(module));
    driver = std::make_unique<DriverSet>(std::move(drivers));
    return QR_OK;
}

} // namespace quillard
