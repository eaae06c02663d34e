// The slot, token, session and login functions of the module. Login semantics are the key's: a wrong PIN
// counts down the key's own retry counter (the one the window shows), and the token flags report
// COUNT_LOW, FINAL_TRY and LOCKED from it.
#pragma once

#include "module_context.h"
#include "token/lib/secure_bytes.h"

#include <string>
#include <vector>

namespace quillard::module {

class TokenService {
public:
    explicit TokenService(ModuleContext& context) : context_(context) {}

    // Lists the keys again first.
    std::vector<CK_SLOT_ID> slotList();
    void slotInfo(CK_SLOT_ID slot, CK_SLOT_INFO& info);
    void tokenInfo(CK_SLOT_ID slot, CK_TOKEN_INFO& info);
    std::vector<CK_MECHANISM_TYPE> mechanisms(CK_SLOT_ID slot);
    void mechanismInfo(CK_SLOT_ID slot, CK_MECHANISM_TYPE type, CK_MECHANISM_INFO& info);
    void initToken(CK_SLOT_ID slot, const SecureString& soPin, const std::string& label);

    CK_SESSION_HANDLE openSession(CK_SLOT_ID slot, CK_FLAGS flags);
    void closeSession(CK_SESSION_HANDLE handle);
    void closeAllSessions(CK_SLOT_ID slot);
    void sessionInfo(CK_SESSION_HANDLE handle, CK_SESSION_INFO& info);

    void login(CK_SESSION_HANDLE handle, CK_USER_TYPE user, const SecureString& pin);
    void logout(CK_SESSION_HANDLE handle);
    void initPin(CK_SESSION_HANDLE handle, const SecureString& pin);
    void setPin(CK_SESSION_HANDLE handle, const SecureString& oldPin, const SecureString& newPin);

private:
    // The PKCS#11 flags of a PIN's state: `lowFlag` and the two after it are COUNT_LOW, FINAL_TRY and LOCKED.
    static CK_FLAGS pinFlags(const PinState& state, CK_FLAGS countLow, CK_FLAGS finalTry, CK_FLAGS locked);
    // Ends the login to a key whose last session has closed, as PKCS#11 wants.
    void logoutWhenUnused(const std::string& serial);

    ModuleContext& context_;
};

} // namespace quillard::module
