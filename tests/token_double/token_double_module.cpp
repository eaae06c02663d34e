// A PKCS#11 module for tests and benchmarks that wraps another one (SoftHSM2 in the tests) and makes its
// tokens behave like real ones: slow calls, a PIN pad, write protection, no login, a token pulled out in the
// middle of a call. What it does comes from its settings (token_double_settings.h), read at C_Initialize.
// Every function passes through one wrapper that adds the delay and notices the token vanishing; the
// functions a token's nature changes have wrappers of their own.
#include "token/lib/pkcs11/cryptoki.h"
#include "token_double_settings.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace {

token_double::Settings settings;
CK_FUNCTION_LIST* inner = nullptr;
void* innerLibrary = nullptr;
std::atomic<bool> tokenGone{false};
std::mutex settingsMutex;

bool vanishFileExists() {
    struct stat facts {};
    return !settings.vanishFile.empty() && stat(settings.vanishFile.c_str(), &facts) == 0;
}

// Waits the call's delay and tells whether the token is gone once the call would return.
bool afterDelayTokenGone(const char* function) {
    if (settings.delayMs > 0 && settings.isDelayed(function))
        std::this_thread::sleep_for(std::chrono::milliseconds(settings.delayMs));
    if (!settings.vanishDuring.empty() && settings.vanishDuring == function)
        tokenGone = true;
    return tokenGone || vanishFileExists();
}

// Functions that still answer once the token is gone: the library and slot functions and the ones that end
// sessions.
bool answersWithoutToken(const std::string& function) {
    static const char* const kNames[] = {"C_Initialize",       "C_Finalize",        "C_GetInfo",
                                         "C_GetSlotList",      "C_GetSlotInfo",     "C_CloseSession",
                                         "C_CloseAllSessions", "C_WaitForSlotEvent"};
    for (const char* name : kNames)
        if (function == name)
            return true;
    return false;
}

template <typename Name, auto Member, typename Function> struct Passing;

template <typename Name, auto Member, typename... Args> struct Passing<Name, Member, CK_RV (*)(Args...)> {
    static CK_RV call(Args... args) {
        if (!inner)
            return CKR_CRYPTOKI_NOT_INITIALIZED;
        if (afterDelayTokenGone(Name::text) && !answersWithoutToken(Name::text))
            return CKR_DEVICE_REMOVED;
        return (inner->*Member)(args...);
    }
};

#define TOKEN_DOUBLE_NAME(fn)                                                                                \
    struct Name_##fn {                                                                                       \
        static constexpr const char* text = #fn;                                                             \
    };
#define TOKEN_DOUBLE_PASS(fn) list.fn = &Passing<Name_##fn, &CK_FUNCTION_LIST::fn, CK_##fn>::call;

#define TOKEN_DOUBLE_FUNCTIONS(X)                                                                            \
    X(C_GetInfo)                                                                                             \
    X(C_GetSlotList)                                                                                         \
    X(C_GetSlotInfo)                                                                                         \
    X(C_GetTokenInfo)                                                                                        \
    X(C_GetMechanismList) X(C_GetMechanismInfo) X(C_InitToken) X(C_InitPIN) X(C_SetPIN) X(C_OpenSession)     \
        X(C_CloseSession) X(C_CloseAllSessions) X(C_GetSessionInfo) X(C_GetOperationState)                   \
            X(C_SetOperationState) X(C_Login) X(C_Logout) X(C_CreateObject) X(C_CopyObject)                  \
                X(C_DestroyObject) X(C_GetObjectSize) X(C_GetAttributeValue) X(C_SetAttributeValue)          \
                    X(C_FindObjectsInit) X(C_FindObjects) X(C_FindObjectsFinal) X(C_EncryptInit)             \
                        X(C_Encrypt) X(C_EncryptUpdate) X(C_EncryptFinal) X(C_DecryptInit) X(C_Decrypt)      \
                            X(C_DecryptUpdate) X(C_DecryptFinal) X(C_DigestInit) X(C_Digest)                 \
                                X(C_DigestUpdate) X(C_DigestKey) X(C_DigestFinal) X(C_SignInit) X(C_Sign)    \
                                    X(C_SignUpdate) X(C_SignFinal) X(C_SignRecoverInit) X(C_SignRecover)     \
                                        X(C_VerifyInit) X(C_Verify) X(C_VerifyUpdate) X(C_VerifyFinal)       \
                                            X(C_VerifyRecoverInit) X(C_VerifyRecover)                        \
                                                X(C_DigestEncryptUpdate) X(C_DecryptDigestUpdate)            \
                                                    X(C_SignEncryptUpdate) X(C_DecryptVerifyUpdate)          \
                                                        X(C_GenerateKey) X(C_GenerateKeyPair) X(C_WrapKey)   \
                                                            X(C_UnwrapKey) X(C_DeriveKey) X(C_SeedRandom)    \
                                                                X(C_GenerateRandom) X(C_GetFunctionStatus)   \
                                                                    X(C_CancelFunction)                      \
                                                                        X(C_WaitForSlotEvent)

TOKEN_DOUBLE_FUNCTIONS(TOKEN_DOUBLE_NAME)

// The wrapped call of `Member`, as the function list has it.
template <typename Name, auto Member> CK_RV passOn(auto... args) {
    using Function = std::remove_reference_t<decltype(std::declval<CK_FUNCTION_LIST>().*Member)>;
    return Passing<Name, Member, Function>::call(args...);
}

bool templateMakesTokenObject(CK_ATTRIBUTE_PTR attributes, CK_ULONG count) {
    for (CK_ULONG i = 0; i < count; ++i)
        if (attributes[i].type == CKA_TOKEN && attributes[i].pValue && attributes[i].ulValueLen >= 1)
            return *static_cast<CK_BBOOL*>(attributes[i].pValue) == CK_TRUE;
    return false;
}

bool isTokenObject(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object) {
    CK_BBOOL onToken = CK_FALSE;
    CK_ATTRIBUTE attribute{CKA_TOKEN, &onToken, sizeof onToken};
    // An object whose kind cannot be read counts as a token object: a write-protected token refuses it.
    return inner->C_GetAttributeValue(session, object, &attribute, 1) != CKR_OK || onToken == CK_TRUE;
}

// --- Functions a token's nature changes ---

CK_RV initialize(void* arguments) {
    const std::lock_guard<std::mutex> lock(settingsMutex);
    if (inner)
        return CKR_CRYPTOKI_ALREADY_INITIALIZED;
    settings = token_double::readSettings();
    if (!innerLibrary)
        innerLibrary = dlopen(settings.module.c_str(), RTLD_NOW | RTLD_LOCAL);
    auto get = innerLibrary ? reinterpret_cast<CK_C_GetFunctionList>(dlsym(innerLibrary, "C_GetFunctionList"))
                            : nullptr;
    CK_FUNCTION_LIST* functions = nullptr;
    if (!get || get(&functions) != CKR_OK || !functions)
        return CKR_GENERAL_ERROR;
    const CK_RV rv = functions->C_Initialize(arguments);
    if (rv != CKR_OK)
        return rv;
    tokenGone = false;
    inner = functions;
    return CKR_OK;
}

CK_RV finalize(void* reserved) {
    const std::lock_guard<std::mutex> lock(settingsMutex);
    if (!inner)
        return CKR_CRYPTOKI_NOT_INITIALIZED;
    const CK_RV rv = inner->C_Finalize(reserved);
    inner = nullptr;
    return rv;
}

CK_RV getSlotList(CK_BBOOL tokenPresent, CK_SLOT_ID_PTR slots, CK_ULONG_PTR count) {
    const CK_RV rv = passOn<Name_C_GetSlotList, &CK_FUNCTION_LIST::C_GetSlotList>(tokenPresent, slots, count);
    if (rv == CKR_OK && tokenPresent && (tokenGone || vanishFileExists()))
        *count = 0;
    return rv;
}

CK_RV getSlotInfo(CK_SLOT_ID slot, CK_SLOT_INFO_PTR info) {
    const CK_RV rv = passOn<Name_C_GetSlotInfo, &CK_FUNCTION_LIST::C_GetSlotInfo>(slot, info);
    if (rv == CKR_OK && (tokenGone || vanishFileExists()))
        info->flags &= ~CK_FLAGS(CKF_TOKEN_PRESENT);
    return rv;
}

CK_RV getTokenInfo(CK_SLOT_ID slot, CK_TOKEN_INFO_PTR info) {
    const CK_RV rv = passOn<Name_C_GetTokenInfo, &CK_FUNCTION_LIST::C_GetTokenInfo>(slot, info);
    if (rv == CKR_DEVICE_REMOVED)
        return CKR_TOKEN_NOT_PRESENT;
    if (rv != CKR_OK)
        return rv;
    if (settings.pinPad)
        info->flags |= CKF_PROTECTED_AUTHENTICATION_PATH;
    if (settings.writeProtected)
        info->flags |= CKF_WRITE_PROTECTED;
    if (settings.noLogin)
        info->flags &= ~CK_FLAGS(CKF_LOGIN_REQUIRED);
    return CKR_OK;
}

// A PIN "typed on the reader" in place of the NULL a call passed on a PIN-pad token.
struct PadPin {
    std::vector<CK_UTF8CHAR> typed;
    CK_UTF8CHAR_PTR pin = nullptr;
    CK_ULONG length = 0;

    PadPin(CK_UTF8CHAR_PTR given, CK_ULONG givenLength, const std::string& onPad)
        : pin(given), length(givenLength) {
        if (!settings.pinPad || given)
            return;
        typed.assign(onPad.begin(), onPad.end());
        pin = typed.data();
        length = typed.size();
    }
    bool fromPad() const { return !typed.empty(); }
};

bool soSession(CK_SESSION_HANDLE session) {
    CK_SESSION_INFO info{};
    return inner && inner->C_GetSessionInfo(session, &info) == CKR_OK && info.state == CKS_RW_SO_FUNCTIONS;
}

// After a PIN was set on the reader, the new one is what the reader is given from then on.
void keepPadPin(CK_RV rv, const PadPin& entered, std::string& pin, const std::string& newPin) {
    if (rv == CKR_OK && entered.fromPad() && !newPin.empty())
        pin = newPin;
}

CK_RV login(CK_SESSION_HANDLE session, CK_USER_TYPE user, CK_UTF8CHAR_PTR pin, CK_ULONG length) {
    const PadPin entered(pin, length, user == CKU_SO ? settings.soPin : settings.userPin);
    return passOn<Name_C_Login, &CK_FUNCTION_LIST::C_Login>(session, user, entered.pin, entered.length);
}

CK_RV openSession(CK_SLOT_ID slot, CK_FLAGS flags, void* application, CK_NOTIFY notify,
                  CK_SESSION_HANDLE_PTR session) {
    if (settings.writeProtected && (flags & CKF_RW_SESSION))
        return CKR_TOKEN_WRITE_PROTECTED;
    return passOn<Name_C_OpenSession, &CK_FUNCTION_LIST::C_OpenSession>(slot, flags, application, notify,
                                                                        session);
}

CK_RV initToken(CK_SLOT_ID slot, CK_UTF8CHAR_PTR pin, CK_ULONG length, CK_UTF8CHAR_PTR label) {
    if (settings.writeProtected)
        return CKR_TOKEN_WRITE_PROTECTED;
    const PadPin entered(pin, length, settings.soPin);
    return passOn<Name_C_InitToken, &CK_FUNCTION_LIST::C_InitToken>(slot, entered.pin, entered.length, label);
}

CK_RV initPin(CK_SESSION_HANDLE session, CK_UTF8CHAR_PTR pin, CK_ULONG length) {
    if (settings.writeProtected)
        return CKR_TOKEN_WRITE_PROTECTED;
    const std::string& newPin = settings.newUserPin.empty() ? settings.userPin : settings.newUserPin;
    const PadPin entered(pin, length, newPin);
    const CK_RV rv =
        passOn<Name_C_InitPIN, &CK_FUNCTION_LIST::C_InitPIN>(session, entered.pin, entered.length);
    keepPadPin(rv, entered, settings.userPin, newPin);
    return rv;
}

CK_RV setPin(CK_SESSION_HANDLE session, CK_UTF8CHAR_PTR oldPin, CK_ULONG oldLength, CK_UTF8CHAR_PTR newPin,
             CK_ULONG newLength) {
    if (settings.writeProtected)
        return CKR_TOKEN_WRITE_PROTECTED;
    const bool so = soSession(session);
    std::string& current = so ? settings.soPin : settings.userPin;
    const std::string& next = so ? settings.newSoPin : settings.newUserPin;
    const PadPin oldEntered(oldPin, oldLength, current);
    const PadPin newEntered(newPin, newLength, next);
    const CK_RV rv = passOn<Name_C_SetPIN, &CK_FUNCTION_LIST::C_SetPIN>(
        session, oldEntered.pin, oldEntered.length, newEntered.pin, newEntered.length);
    keepPadPin(rv, newEntered, current, next);
    return rv;
}

CK_RV createObject(CK_SESSION_HANDLE session, CK_ATTRIBUTE_PTR attributes, CK_ULONG count,
                   CK_OBJECT_HANDLE_PTR object) {
    if (settings.writeProtected && templateMakesTokenObject(attributes, count))
        return CKR_TOKEN_WRITE_PROTECTED;
    return passOn<Name_C_CreateObject, &CK_FUNCTION_LIST::C_CreateObject>(session, attributes, count, object);
}

CK_RV copyObject(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object, CK_ATTRIBUTE_PTR attributes,
                 CK_ULONG count, CK_OBJECT_HANDLE_PTR copy) {
    if (settings.writeProtected && templateMakesTokenObject(attributes, count))
        return CKR_TOKEN_WRITE_PROTECTED;
    return passOn<Name_C_CopyObject, &CK_FUNCTION_LIST::C_CopyObject>(session, object, attributes, count,
                                                                      copy);
}

CK_RV destroyObject(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object) {
    if (settings.writeProtected && inner && isTokenObject(session, object))
        return CKR_TOKEN_WRITE_PROTECTED;
    return passOn<Name_C_DestroyObject, &CK_FUNCTION_LIST::C_DestroyObject>(session, object);
}

CK_RV setAttributeValue(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object, CK_ATTRIBUTE_PTR attributes,
                        CK_ULONG count) {
    if (settings.writeProtected && inner && isTokenObject(session, object))
        return CKR_TOKEN_WRITE_PROTECTED;
    return passOn<Name_C_SetAttributeValue, &CK_FUNCTION_LIST::C_SetAttributeValue>(session, object,
                                                                                    attributes, count);
}

CK_RV generateKeyPair(CK_SESSION_HANDLE session, CK_MECHANISM_PTR mechanism, CK_ATTRIBUTE_PTR publicTemplate,
                      CK_ULONG publicCount, CK_ATTRIBUTE_PTR privateTemplate, CK_ULONG privateCount,
                      CK_OBJECT_HANDLE_PTR publicKey, CK_OBJECT_HANDLE_PTR privateKey) {
    if (settings.writeProtected && (templateMakesTokenObject(publicTemplate, publicCount) ||
                                    templateMakesTokenObject(privateTemplate, privateCount)))
        return CKR_TOKEN_WRITE_PROTECTED;
    return passOn<Name_C_GenerateKeyPair, &CK_FUNCTION_LIST::C_GenerateKeyPair>(
        session, mechanism, publicTemplate, publicCount, privateTemplate, privateCount, publicKey,
        privateKey);
}

CK_RV generateKey(CK_SESSION_HANDLE session, CK_MECHANISM_PTR mechanism, CK_ATTRIBUTE_PTR attributes,
                  CK_ULONG count, CK_OBJECT_HANDLE_PTR key) {
    if (settings.writeProtected && templateMakesTokenObject(attributes, count))
        return CKR_TOKEN_WRITE_PROTECTED;
    return passOn<Name_C_GenerateKey, &CK_FUNCTION_LIST::C_GenerateKey>(session, mechanism, attributes, count,
                                                                        key);
}

CK_RV getFunctionList(CK_FUNCTION_LIST_PTR_PTR list);

CK_FUNCTION_LIST makeFunctionList() {
    CK_FUNCTION_LIST list{};
    list.version = {2, 40};
    TOKEN_DOUBLE_FUNCTIONS(TOKEN_DOUBLE_PASS)
    list.C_Initialize = initialize;
    list.C_Finalize = finalize;
    list.C_GetFunctionList = getFunctionList;
    list.C_GetSlotList = getSlotList;
    list.C_GetSlotInfo = getSlotInfo;
    list.C_GetTokenInfo = getTokenInfo;
    list.C_Login = login;
    list.C_OpenSession = openSession;
    list.C_InitToken = initToken;
    list.C_InitPIN = initPin;
    list.C_SetPIN = setPin;
    list.C_CreateObject = createObject;
    list.C_CopyObject = copyObject;
    list.C_DestroyObject = destroyObject;
    list.C_SetAttributeValue = setAttributeValue;
    list.C_GenerateKeyPair = generateKeyPair;
    list.C_GenerateKey = generateKey;
    return list;
}

CK_FUNCTION_LIST functionList = makeFunctionList();

CK_RV getFunctionList(CK_FUNCTION_LIST_PTR_PTR list) {
    if (!list)
        return CKR_ARGUMENTS_BAD;
    *list = &functionList;
    return CKR_OK;
}

} // namespace

extern "C" __attribute__((visibility("default"))) CK_RV C_GetFunctionList(CK_FUNCTION_LIST_PTR_PTR list) {
    return getFunctionList(list);
}
