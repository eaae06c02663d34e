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

namespace quillard::module {

class ModuleContext {
public:
    explicit ModuleContext(std::filesystem::path keysFolder);

    SoftkeyDriver& driver() { return driver_; }
    SlotTable& slots() { return slots_; }
    SessionTable& sessions() { return sessions_; }
    ObjectHandles& handles() { return handles_; }

    // Lists the keys again and closes the sessions of keys that have gone.
    void rescan();
    // The driver's index of the session's key; CKR_DEVICE_REMOVED when it has gone.
    int32_t indexOf(const Session& session) const { return slots_.indexOf(session.serial); }
    // Who is logged in to the key `serial` in this process: CKU_USER, CKU_SO, or none.
    std::optional<CK_USER_TYPE> loggedIn(const std::string& serial);
    bool userLoggedIn(const std::string& serial) { return loggedIn(serial) == CKU_USER; }
    TokenObjects objectsOf(const Session& session);
    // The session's state as C_GetSessionInfo says it.
    CK_STATE stateOf(const Session& session);

private:
    SoftkeyDriver driver_;
    SlotTable slots_;
    SessionTable sessions_;
    ObjectHandles handles_;
};

} // namespace quillard::module
