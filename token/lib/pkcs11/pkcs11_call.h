// The one door of every PKCS#11 call the driver makes: it names the module, the function and the CKR_ value
// of a failure, keeps that text as the library's last failure, and turns it into the library's result code.
#pragma once

#include "cryptoki.h"
#include "token/lib/driver.h"

#include <stdexcept>
#include <string>
#include <utility>

namespace quillard::pkcs11 {

// The library's result for a PKCS#11 return value: a full token is out of space, a token or session that has
// gone is a removed device, every other value is passed on as the CKR_ code it is.
Result resultOf(CK_RV rv);

// A failed call: "softhsm2: C_Login failed with CKR_PIN_INCORRECT".
class Pkcs11Failure : public std::runtime_error {
public:
    Pkcs11Failure(const std::string& module, const char* function, CK_RV rv);
    CK_RV rv() const { return rv_; }
    Result result() const { return resultOf(rv_); }

private:
    CK_RV rv_;
};

class Pkcs11Call {
public:
    Pkcs11Call(std::string module, CK_FUNCTION_LIST* functions)
        : module_(std::move(module)), functions_(functions) {}

    // Calls `function` (a member of the module's function list, named `name`) and throws Pkcs11Failure
    // unless it answers CKR_OK.
    template <typename Function, typename... Args>
    void operator()(const char* name, Function CK_FUNCTION_LIST::*function, Args&&... args) const {
        check(name, attempt(name, function, std::forward<Args>(args)...));
    }

    // Calls `function` and returns what it answers; a failure is recorded, not thrown.
    template <typename Function, typename... Args>
    CK_RV attempt(const char* name, Function CK_FUNCTION_LIST::*function, Args&&... args) const {
        return remember(name, (functions_->*function)(std::forward<Args>(args)...));
    }

    // Keeps the failure `rv` of the call `name` made outside the function list; returns `rv`.
    CK_RV remember(const char* name, CK_RV rv) const;

    // Throws Pkcs11Failure for `rv` unless it is CKR_OK.
    void check(const char* name, CK_RV rv) const;

    const std::string& module() const { return module_; }
    CK_FUNCTION_LIST* functions() const { return functions_; }

private:
    std::string module_;
    CK_FUNCTION_LIST* functions_;
};

// What the last failed PKCS#11 call was, for messages; empty when none failed since the library started.
std::string lastPkcs11Failure();
void forgetPkcs11Failure();

} // namespace quillard::pkcs11
