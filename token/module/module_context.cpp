#include "module_context.h"

#include "module_error.h"
#include "token/lib/quillard_errors.h"

namespace quillard::module {

ModuleContext::ModuleContext(std::filesystem::path keysFolder, bool mayStartThreads)
    : driver_(std::move(keysFolder)) {
    // Without a thread of its own, the watch of the keys folder costs a system call at every call.
    driver_.setWatchTaking(mayStartThreads ? softkey::FolderWatch::Taking::OnItsOwnThread
                                           : softkey::FolderWatch::Taking::AtEachQuestion);
    slots_.rescan(driver_);
}

void ModuleContext::rescan() {
    slots_.rescan(driver_);
    sessions_.closeUnplugged([&](const std::string& serial) { return slots_.isPlugged(serial); });
}

ModuleContext::KeyLook ModuleContext::lookAt(const std::string& serial) {
    if (lastLook_ && lastLook_->first == serial)
        return lastLook_->second;
    KeyLook look;
    if (!slots_.isPlugged(serial))
        look.result = QR_DEVICE_REMOVED;
    else
        look.result = driver_.loginState(slots_.indexOf(serial), look.epoch, look.role);
    lastLook_.emplace(serial, look);
    return look;
}

Session& ModuleContext::session(CK_SESSION_HANDLE handle) {
    Session& session = sessions_.get(handle);
    const KeyLook look = lookAt(session.serial);
    if (look.result == QR_DEVICE_REMOVED) {
        sessions_.closeAllOf(std::string(session.serial));
        fail(CKR_DEVICE_REMOVED);
    }
    require(look.result);
    if (look.epoch != session.epoch) {
        sessions_.closeStale(std::string(session.serial), look.epoch);
        fail(CKR_SESSION_HANDLE_INVALID);
    }
    return session;
}

int64_t ModuleContext::epochForNewSession(const std::string& serial) {
    // A key pulled out by another program a moment ago is not to be opened, whatever the watch has seen.
    driver_.lookInFullNextTime(serial);
    lastLook_.reset();
    const KeyLook look = lookAt(serial);
    if (look.result == QR_DEVICE_REMOVED) {
        sessions_.closeAllOf(serial);
        fail(CKR_TOKEN_NOT_PRESENT);
    }
    require(look.result);
    sessions_.closeStale(serial, look.epoch);
    return look.epoch;
}

std::optional<CK_USER_TYPE> ModuleContext::loggedIn(const std::string& serial) {
    const KeyLook look = lookAt(serial);
    require(look.result);
    if (!look.role)
        return std::nullopt;
    return *look.role == PinKind::SecurityOfficer ? CKU_SO : CKU_USER;
}

TokenObjects ModuleContext::objectsOf(const Session& session) {
    return TokenObjects(driver_, indexOf(session), session.serial, handles_);
}

CK_STATE ModuleContext::stateOf(const Session& session) {
    std::optional<CK_USER_TYPE> user = loggedIn(session.serial);
    if (user == CKU_SO)
        return CKS_RW_SO_FUNCTIONS;
    if (user == CKU_USER)
        return session.isReadWrite() ? CKS_RW_USER_FUNCTIONS : CKS_RO_USER_FUNCTIONS;
    return session.isReadWrite() ? CKS_RW_PUBLIC_SESSION : CKS_RO_PUBLIC_SESSION;
}

} // namespace quillard::module
