// One PKCS#11 module, loaded and initialised through libp11-kit, finalised and released with the object.
// p11-kit initialises a module with OS locking, so the import worker and the window thread may both use it.
#pragma once

#include "cryptoki.h"
#include "module_selection.h"
#include "token/lib/driver.h"

#include <memory>
#include <string>
#include <vector>

namespace quillard::pkcs11 {

class Pkcs11Module {
public:
    ~Pkcs11Module();
    Pkcs11Module(const Pkcs11Module&) = delete;
    Pkcs11Module& operator=(const Pkcs11Module&) = delete;

    // Every module p11-kit registers for this program (its `enable-in` and `disable-in` settings decide),
    // or the files QUILLARD_PKCS11_MODULES names instead; initialised, holding keys (holdsKeys()). A module
    // that fails to load or initialise is left out.
    static std::vector<std::unique_ptr<Pkcs11Module>> loadRegistered();
    // The module `name` names (findModuleFile()), initialised; QR_MODULE_NOT_FOUND for no such file or no
    // module, otherwise what C_Initialize answered.
    static Result loadNamed(const std::string& name, std::unique_ptr<Pkcs11Module>& module);

    CK_FUNCTION_LIST* functions() const { return functions_; }
    const ModuleFacts& facts() const { return facts_; }
    // True for a module named by the caller rather than found registered.
    bool named() const { return named_; }

private:
    Pkcs11Module(CK_FUNCTION_LIST* functions, ModuleFacts facts, bool named);
    // Initialises `functions` (a loaded module of `name`) and reads its facts; null, with the module
    // released, when it does not initialise.
    static std::unique_ptr<Pkcs11Module> initialise(CK_FUNCTION_LIST* functions, ModuleFacts facts,
                                                    bool named, Result* result = nullptr);

    CK_FUNCTION_LIST* functions_;
    ModuleFacts facts_;
    bool named_;
};

} // namespace quillard::pkcs11
