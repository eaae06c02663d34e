#include "pkcs11_module.h"

#include "pkcs11_call.h"
#include "token/lib/quillard_errors.h"
#include "token_text.h"

#include <p11-kit/p11-kit.h>

#include <cstdlib>
#include <future>

namespace quillard::pkcs11 {

namespace {

// A string p11-kit allocated, freed with free().
std::string takeString(char* text) {
    std::string copy = text ? text : "";
    std::free(text);
    return copy;
}

bool isTrustPolicy(CK_FUNCTION_LIST* functions) {
    return takeString(p11_kit_config_option(functions, "trust-policy")) == "yes";
}

ModuleFacts factsOf(CK_FUNCTION_LIST* functions) {
    ModuleFacts facts;
    facts.name = takeString(p11_kit_module_get_name(functions));
    if (facts.name.empty())
        facts.name = takeString(p11_kit_module_get_filename(functions));
    facts.trustPolicy = isTrustPolicy(functions);
    return facts;
}

} // namespace

Pkcs11Module::Pkcs11Module(CK_FUNCTION_LIST* functions, ModuleFacts facts, bool named)
    : functions_(functions), facts_(std::move(facts)), named_(named) {}

Pkcs11Module::~Pkcs11Module() {
    p11_kit_module_finalize(functions_);
    p11_kit_module_release(functions_);
}

std::unique_ptr<Pkcs11Module> Pkcs11Module::initialise(CK_FUNCTION_LIST* functions, ModuleFacts facts,
                                                       bool named, Result* result) {
    Pkcs11Call call(facts.name, functions);
    CK_RV rv = call.remember("C_Initialize", p11_kit_module_initialize(functions));
    if (rv != CKR_OK) {
        if (result)
            *result = resultOf(rv);
        p11_kit_module_release(functions);
        return nullptr;
    }
    CK_INFO info{};
    if (call.attempt("C_GetInfo", &CK_FUNCTION_LIST::C_GetInfo, &info) == CKR_OK) {
        facts.manufacturer = paddedFieldText(info.manufacturerID, sizeof info.manufacturerID, 64);
        facts.description = paddedFieldText(info.libraryDescription, sizeof info.libraryDescription, 64);
    }
    return std::unique_ptr<Pkcs11Module>(new Pkcs11Module(functions, std::move(facts), named));
}

std::vector<std::unique_ptr<Pkcs11Module>> Pkcs11Module::loadRegistered() {
    std::vector<CK_FUNCTION_LIST*> loaded;
    if (std::optional<std::vector<std::string>> files = moduleFilesFromEnvironment()) {
        for (const std::string& file : *files)
            if (CK_FUNCTION_LIST* functions = p11_kit_module_load(file.c_str(), 0))
                loaded.push_back(functions);
    } else if (CK_FUNCTION_LIST** registered = p11_kit_modules_load(nullptr, 0)) {
        for (CK_FUNCTION_LIST** cursor = registered; *cursor; ++cursor)
            loaded.push_back(*cursor);
        std::free(registered); // the array only; each module is released on its own
    }
    // Each module's C_Initialize may take a while (a smart card framework asks its reader service): they
    // run side by side, so the library is ready after the slowest of them rather than after all in turn.
    std::vector<std::future<std::unique_ptr<Pkcs11Module>>> starting;
    for (CK_FUNCTION_LIST* functions : loaded) {
        ModuleFacts facts = factsOf(functions);
        if (facts.trustPolicy) {
            p11_kit_module_release(functions);
            continue;
        }
        starting.push_back(std::async(std::launch::async, [functions, facts = std::move(facts)]() mutable {
            return initialise(functions, std::move(facts), false);
        }));
    }
    std::vector<std::unique_ptr<Pkcs11Module>> modules;
    for (std::future<std::unique_ptr<Pkcs11Module>>& next : starting)
        if (std::unique_ptr<Pkcs11Module> module = next.get(); module && holdsKeys(module->facts()))
            modules.push_back(std::move(module));
    return modules;
}

Result Pkcs11Module::loadNamed(const std::string& name, std::unique_ptr<Pkcs11Module>& module) {
    std::optional<std::filesystem::path> file = findModuleFile(name, moduleSearchFolders());
    if (!file)
        return QR_MODULE_NOT_FOUND;
    CK_FUNCTION_LIST* functions = p11_kit_module_load(file->c_str(), 0);
    if (!functions)
        return QR_MODULE_NOT_FOUND;
    ModuleFacts facts = factsOf(functions);
    Result result = QR_OK;
    module = initialise(functions, std::move(facts), true, &result);
    return module ? QR_OK : result;
}

} // namespace quillard::pkcs11
