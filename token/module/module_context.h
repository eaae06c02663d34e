// Everything the module knows while it is initialised: the virtual-key driver (the one the window and the
// command line use, over the same key files), the slots, the sessions and the object handles. The function
// list holds one context and lets one call at a time work on it.
#pragma once

#include "object_handles.h"
#include "session_table.h"
#include "slot_table.h"
#include "token/lib/softkey/softkey_driver.h"
#include "token_objects.h"

#include <filesystem>
#include <optional>
#include <utility>

namespace quillard::module {

class ModuleContext {
public:
    // `mayStartThreads` is false for a program that forbids its libraries to start threads.
    ModuleContext(std::filesystem::path keysFolder, bool mayStartThreads);

    SoftkeyDriver& driver() { return driver_; }
    SlotTable& slots() { return slots_; }
    SessionTable& sessions() { return sessions_; }
    ObjectHandles& handles() { return handles_; }

    // Starts one PKCS#11 call: what the last call saw of a key is forgotten.
    void beginCall() {
        lastLook_.reset();
        driver_.startModuleCall();
    }
    // Lists the keys again and closes the sessions of keys that have gone.
    void rescan();
    // The open session `handle`, checked against its key as PKCS#11 wants, which closes every session of a
    // removed token: a key pulled out since answers CKR_DEVICE_REMOVED once, a key plugged in again (or
    // formatted) since answers CKR_SESSION_HANDLE_INVALID, and either way the sessions of the key opened
    // before are closed with their objects, so their handles stay invalid from then on.
    Session& session(CK_SESSION_HANDLE handle);
    // The key's session epoch as it is now, for a session about to open on `serial`. A key that has gone
    // answers CKR_TOKEN_NOT_PRESENT, and the sessions opened under an earlier epoch are closed.
    int64_t epochForNewSession(const std::string& serial);
    // The driver's index of the session's key; CKR_DEVICE_REMOVED when it has gone.
    int32_t indexOf(const Session& session) const { return slots_.indexOf(session.serial); }
    // Who is logged in to the key `serial` in this process: CKU_USER, CKU_SO, or none.
    std::optional<CK_USER_TYPE> loggedIn(const std::string& serial);
    bool userLoggedIn(const std::string& serial) { return loggedIn(serial) == CKU_USER; }
    TokenObjects objectsOf(const Session& session);
    // The session's state as C_GetSessionInfo says it.
    CK_STATE stateOf(const Session& session);

private:
    struct KeyLook {
        Result result = 0;
        int64_t epoch = 0;
        std::optional<PinKind> role;
    };
    // The key's epoch and login, read in one look; QR_DEVICE_REMOVED when the key has gone. One call looks
    // once: every PKCS#11 call checks its session's key first, and a signature is two calls, so looking
    // again for the login in the same call would cost as much as a good part of an EC signature. Whatever
    // changes a login or an epoch is the last thing its call does.
    KeyLook lookAt(const std::string& serial);

    std::optional<std::pair<std::string, KeyLook>> lastLook_; // of this call
    SoftkeyDriver driver_;
    SlotTable slots_;
    SessionTable sessions_;
    ObjectHandles handles_;
};

} // namespace quillard::module
