#include "module_selection.h"

#include <cstdlib>
#include <sstream>
#include <system_error>

#ifndef QUILLARD_P11_MODULE_PATH
#define QUILLARD_P11_MODULE_PATH "/usr/lib/pkcs11"
#endif
#ifndef QUILLARD_SYSTEM_LIBRARY_PATH
#define QUILLARD_SYSTEM_LIBRARY_PATH "/usr/lib"
#endif

namespace quillard::pkcs11 {

namespace {

constexpr const char* kVirtualKeyManufacturer = "Norvale";
constexpr const char* kVirtualKeyDescription = "PellorZu virtual keys";

bool isFile(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

} // namespace

bool isVirtualKeyModule(const ModuleFacts& facts) {
    return facts.manufacturer == kVirtualKeyManufacturer &&
           facts.description.starts_with(kVirtualKeyDescription);
}

bool holdsKeys(const ModuleFacts& facts) {
    return !facts.trustPolicy && !isVirtualKeyModule(facts);
}

std::optional<std::vector<std::string>> moduleFilesFromEnvironment() {
    const char* value = std::getenv("QUILLARD_PKCS11_MODULES");
    if (!value)
        return std::nullopt;
    std::vector<std::string> files;
    std::stringstream list(value);
    for (std::string file; std::getline(list, file, ':');)
        if (!file.empty())
            files.push_back(file);
    return files;
}

std::optional<std::filesystem::path> findModuleFile(const std::string& name,
                                                    const std::vector<std::filesystem::path>& folders) {
    const std::filesystem::path given(name);
    if (given.has_parent_path())
        return isFile(given) ? std::optional(given) : std::nullopt;
    std::vector<std::filesystem::path> candidates{given};
    if (given.extension() != ".so")
        candidates.push_back(std::filesystem::path(given).replace_extension(".so"));
    for (const std::filesystem::path& folder : folders)
        for (const std::filesystem::path& candidate : candidates)
            if (isFile(folder / candidate))
                return folder / candidate;
    return std::nullopt;
}

std::vector<std::filesystem::path> moduleSearchFolders() {
    std::vector<std::filesystem::path> folders{QUILLARD_P11_MODULE_PATH, QUILLARD_SYSTEM_LIBRARY_PATH,
                                               "/usr/local/lib", "/usr/lib", "/lib"};
    std::error_code error;
    std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error)
        folders.push_back(program.parent_path());
    return folders;
}

} // namespace quillard::pkcs11
