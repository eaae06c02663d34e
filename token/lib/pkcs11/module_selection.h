// Which PKCS#11 modules hold keys for this tool, and where a module named without a folder is found.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quillard::pkcs11 {

// What the selection looks at: p11-kit's name of the module, whether p11-kit marks it as a trust-policy
// module, and its C_GetInfo manufacturer and description (blank padding removed).
struct ModuleFacts {
    std::string name;
    bool trustPolicy = false;
    std::string manufacturer;
    std::string description;
};

// False for modules that hold no keys of their own for this tool: trust-policy modules (the system's trust
// anchors) and the maker's own module over the virtual keys, which this library reaches directly.
bool holdsKeys(const ModuleFacts& facts);
// The maker's module over the virtual keys, told by its library information.
bool isVirtualKeyModule(const ModuleFacts& facts);

// The module files to load instead of p11-kit's registered modules, when QUILLARD_PKCS11_MODULES is set:
// its ':'-separated paths (an empty value loads none). Nothing when it is unset.
std::optional<std::vector<std::string>> moduleFilesFromEnvironment();

// The file a module name stands for. A name with a folder is taken as it is; a bare name is looked up in
// `folders` in order, as given and, for another extension ("opensc-pkcs11.dll"), with ".so". Nothing when
// no such file exists.
std::optional<std::filesystem::path> findModuleFile(const std::string& name,
                                                    const std::vector<std::filesystem::path>& folders);
// Where bare names are looked up: p11-kit's module folder, the system library folders, the program's folder.
std::vector<std::filesystem::path> moduleSearchFolders();

} // namespace quillard::pkcs11
