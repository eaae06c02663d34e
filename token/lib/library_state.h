// The state of libquillard between calls: the active driver, the last parsed PKCS#12 file and the certificate
// display handler. Every exported function holds the library lock while it works, so the import worker thread
// and the window thread never meet inside a driver.
#pragma once

#include "credential.h"
#include "driver.h"
#include "quillard.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace quillard {

struct LibraryState {
    std::recursive_mutex lock;
    std::unique_ptr<Driver> driver;
    std::vector<Credential> parsedPkcs12; // kept by pkcs12_file_parse for pkcs12_import_certificate
    quillard_cert_display_handler displayHandler = nullptr;
    bool modulesInBackground = false; // quillard_start_modules_in_background
    void* displayContext = nullptr;
};

LibraryState& libraryState();

// A module name without folder and extension, in lower case.
std::string moduleStem(const std::string& moduleName);
// True for the maker's module name in any folder, with any extension and in any letter case.
bool isMakerModule(const std::string& moduleName);

// Chooses the driver for a module name: the maker's module name (any folder, any extension, any letter case)
// selects the virtual keys and the PKCS#11 modules registered with p11-kit, in one list; anything else is the
// one PKCS#11 module it names. With `modulesInBackground` the registered modules start beside the caller
// and join the list once started (DriverSet).
Result makeDriver(const char* moduleName, std::unique_ptr<Driver>& driver, bool modulesInBackground = false);

} // namespace quillard
