#include "module_context.h"

#include "module_error.h"

namespace quillard::module {

ModuleContext::ModuleContext(std::filesystem::path keysFolder) : driver_(std::move(keysFolder)) {
    slots_.rescan(driver_);
}

void ModuleContext::rescan() {
    slots_.rescan(driver_);
    sessions_.closeUnplugged([&](const std::string& serial) { return slots_.isPlugged(serial); });
}

std::optional<CK_USER_TYPE> ModuleContext::loggedIn(const std::string& serial) {
    const int32_t idx = slots_.indexOf(serial);
    PinState user;
    require(driver_.getPinState(idx, PinKind::User, user));
    if (user.loggedIn)
        return CKU_USER;
    PinState so;
    require(driver_.getPinState(idx, PinKind::SecurityOfficer, so));
    if (so.loggedIn)
        return CKU_SO;
    return std::nullopt;
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
