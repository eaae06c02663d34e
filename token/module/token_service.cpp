#include "token_service.h"

#include "blank_padded.h"
#include "mechanism_table.h"
#include "module_error.h"

#include <cstring>

namespace quillard::module {

namespace {

CK_VERSION versionOf(int32_t packed) {
    return CK_VERSION{static_cast<unsigned char>((packed >> 8) & 0xFF),
                      static_cast<unsigned char>(packed & 0xFF)};
}

} // namespace

std::vector<CK_SLOT_ID> TokenService::slotList() {
    context_.rescan();
    return context_.slots().slots();
}

void TokenService::slotInfo(CK_SLOT_ID slot, CK_SLOT_INFO& info) {
    const std::string& serial = context_.slots().serialOf(slot);
    KeyInfo key;
    require(context_.driver().getInfo(context_.slots().indexOf(serial), key));
    std::memset(&info, 0, sizeof info);
    copyBlankPadded(info.slotDescription, sizeof info.slotDescription, "PellorZu virtual key " + serial);
    copyBlankPadded(info.manufacturerID, sizeof info.manufacturerID, "Norvale");
    info.flags = CKF_TOKEN_PRESENT | CKF_REMOVABLE_DEVICE;
    info.hardwareVersion = versionOf(key.hardwareVersion);
    info.firmwareVersion = versionOf(key.firmwareVersion);
}

CK_FLAGS TokenService::pinFlags(const PinState& state, CK_FLAGS countLow, CK_FLAGS finalTry,
                                CK_FLAGS locked) {
    if (state.locked)
        return locked;
    CK_FLAGS flags = 0;
    if (state.retriesLeft < state.maxRetries)
        flags |= countLow;
    if (state.retriesLeft == 1)
        flags |= finalTry;
    return flags;
}

void TokenService::tokenInfo(CK_SLOT_ID slot, CK_TOKEN_INFO& info) {
    const std::string& serial = context_.slots().serialOf(slot);
    const int32_t idx = context_.slots().indexOf(serial);
    SoftkeyDriver& driver = context_.driver();
    KeyInfo key;
    PinState user;
    PinState so;
    bool userPinSet = false;
    require(driver.getInfo(idx, key));
    require(driver.getPinState(idx, PinKind::User, user));
    require(driver.getPinState(idx, PinKind::SecurityOfficer, so));
    require(driver.isPinSet(idx, PinKind::User, userPinSet));

    std::memset(&info, 0, sizeof info);
    copyBlankPadded(info.label, sizeof info.label, key.label);
    copyBlankPadded(info.manufacturerID, sizeof info.manufacturerID, key.manufacturer);
    copyWholeWordsBlankPadded(info.model, sizeof info.model, key.model);
    copyBlankPadded(info.serialNumber, sizeof info.serialNumber, key.serial);
    info.flags = CKF_RNG | CKF_LOGIN_REQUIRED;
    if (key.initialised)
        info.flags |= CKF_TOKEN_INITIALIZED;
    if (key.initialised && userPinSet)
        info.flags |= CKF_USER_PIN_INITIALIZED;
    info.flags |= pinFlags(user, CKF_USER_PIN_COUNT_LOW, CKF_USER_PIN_FINAL_TRY, CKF_USER_PIN_LOCKED);
    info.flags |= pinFlags(so, CKF_SO_PIN_COUNT_LOW, CKF_SO_PIN_FINAL_TRY, CKF_SO_PIN_LOCKED);
    info.ulMaxSessionCount = CK_EFFECTIVELY_INFINITE;
    info.ulMaxRwSessionCount = CK_EFFECTIVELY_INFINITE;
    info.ulSessionCount = context_.sessions().count(serial);
    info.ulRwSessionCount = context_.sessions().countReadWrite(serial);
    info.ulMaxPinLen = static_cast<CK_ULONG>(user.maxLength);
    info.ulMinPinLen = static_cast<CK_ULONG>(user.minLength);
    info.ulTotalPublicMemory = static_cast<CK_ULONG>(key.totalMemory);
    info.ulFreePublicMemory = static_cast<CK_ULONG>(key.freeMemory);
    info.ulTotalPrivateMemory = static_cast<CK_ULONG>(key.totalMemory);
    info.ulFreePrivateMemory = static_cast<CK_ULONG>(key.freeMemory);
    info.hardwareVersion = versionOf(key.hardwareVersion);
    info.firmwareVersion = versionOf(key.firmwareVersion);
    copyBlankPadded(info.utcTime, sizeof info.utcTime, ""); // the key has no clock
}

std::vector<CK_MECHANISM_TYPE> TokenService::mechanisms(CK_SLOT_ID slot) {
    context_.slots().serialOf(slot);
    std::vector<CK_MECHANISM_TYPE> types;
    for (const Mechanism& mechanism : MechanismTable::all())
        types.push_back(mechanism.type);
    return types;
}

void TokenService::mechanismInfo(CK_SLOT_ID slot, CK_MECHANISM_TYPE type, CK_MECHANISM_INFO& info) {
    context_.slots().serialOf(slot);
    info = MechanismTable::find(type, 0).info;
}

void TokenService::initToken(CK_SLOT_ID slot, const SecureString& soPin, const std::string& label) {
    const std::string& serial = context_.slots().serialOf(slot);
    if (context_.sessions().count(serial))
        fail(CKR_SESSION_EXISTS);
    require(context_.driver().initToken(context_.slots().indexOf(serial), soPin, label));
}

CK_SESSION_HANDLE TokenService::openSession(CK_SLOT_ID slot, CK_FLAGS flags) {
    if (!(flags & CKF_SERIAL_SESSION))
        fail(CKR_SESSION_PARALLEL_NOT_SUPPORTED);
    const std::string& serial = context_.slots().serialOf(slot);
    const int64_t epoch = context_.epochForNewSession(serial);
    // An SO login allows read-write sessions only.
    if (!(flags & CKF_RW_SESSION) && context_.loggedIn(serial) == CKU_SO)
        fail(CKR_SESSION_READ_WRITE_SO_EXISTS);
    return context_.sessions().open(slot, serial, epoch, flags & (CKF_SERIAL_SESSION | CKF_RW_SESSION));
}

void TokenService::closeSession(CK_SESSION_HANDLE handle) {
    // Closing needs no key: a session of a key that has gone closes like any other.
    const std::string serial = context_.sessions().get(handle).serial;
    context_.sessions().close(handle);
    logoutWhenUnused(serial);
}

void TokenService::closeAllSessions(CK_SLOT_ID slot) {
    const std::string serial = context_.slots().serialOf(slot);
    context_.sessions().closeAllOf(serial);
    logoutWhenUnused(serial);
}

void TokenService::logoutWhenUnused(const std::string& serial) {
    if (context_.sessions().count(serial) == 0 && context_.slots().isPlugged(serial))
        context_.driver().logout(context_.slots().indexOf(serial));
}

void TokenService::sessionInfo(CK_SESSION_HANDLE handle, CK_SESSION_INFO& info) {
    Session& session = context_.session(handle);
    info.slotID = session.slot;
    info.state = context_.stateOf(session);
    info.flags = session.flags;
    info.ulDeviceError = 0;
}

void TokenService::login(CK_SESSION_HANDLE handle, CK_USER_TYPE user, const SecureString& pin) {
    Session& session = context_.session(handle);
    if (user == CKU_CONTEXT_SPECIFIC)
        fail(CKR_OPERATION_NOT_INITIALIZED); // no key of a virtual key asks for its PIN at every use
    if (user != CKU_USER && user != CKU_SO)
        fail(CKR_USER_TYPE_INVALID);
    std::optional<CK_USER_TYPE> current = context_.loggedIn(session.serial);
    if (current)
        fail(*current == user ? CKR_USER_ALREADY_LOGGED_IN : CKR_USER_ANOTHER_ALREADY_LOGGED_IN);
    if (user == CKU_SO &&
        context_.sessions().countReadWrite(session.serial) != context_.sessions().count(session.serial))
        fail(CKR_SESSION_READ_ONLY_EXISTS);
    int32_t retriesLeft = 0;
    const PinKind kind = user == CKU_SO ? PinKind::SecurityOfficer : PinKind::User;
    require(context_.driver().login(context_.indexOf(session), kind, pin, retriesLeft));
}

void TokenService::logout(CK_SESSION_HANDLE handle) {
    Session& session = context_.session(handle);
    if (!context_.loggedIn(session.serial))
        fail(CKR_USER_NOT_LOGGED_IN);
    context_.sessions().endOperationsOf(session.serial);
    context_.sessions().destroyPrivateObjectsOf(session.serial);
    require(context_.driver().logout(context_.indexOf(session)));
}

void TokenService::initPin(CK_SESSION_HANDLE handle, const SecureString& pin) {
    Session& session = context_.session(handle);
    if (context_.loggedIn(session.serial) != CKU_SO)
        fail(CKR_USER_NOT_LOGGED_IN);
    require(context_.driver().initUserPin(context_.indexOf(session), pin));
}

void TokenService::setPin(CK_SESSION_HANDLE handle, const SecureString& oldPin, const SecureString& newPin) {
    Session& session = context_.session(handle);
    if (!session.isReadWrite())
        fail(CKR_SESSION_READ_ONLY);
    const PinKind kind =
        context_.loggedIn(session.serial) == CKU_SO ? PinKind::SecurityOfficer : PinKind::User;
    require(context_.driver().changePin(context_.indexOf(session), kind, oldPin, newPin));
}

} // namespace quillard::module
