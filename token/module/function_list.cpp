// The PKCS#11 entry points of the module over the virtual keys. Each checks its pointers, takes the
// module's lock through ModuleLifecycle and hands the work to the service that does it.
#include "crypto_service.h"
#include "module_lifecycle.h"
#include "object_service.h"
#include "token_service.h"

#include "blank_padded.h"

#include <cstring>
#include <string>

using namespace quillard;
using namespace quillard::module;

namespace {

ModuleLifecycle& lifecycle() {
    return ModuleLifecycle::instance();
}

template <typename Work> CK_RV withContext(Work&& work) {
    return lifecycle().call(std::forward<Work>(work));
}

SecureString pinOf(const CK_UTF8CHAR* pin, CK_ULONG length) {
    if (!pin && length)
        fail(CKR_ARGUMENTS_BAD);
    return pin ? SecureString(reinterpret_cast<const char*>(pin), length) : SecureString();
}

// Copies a list into a caller's array by PKCS#11's two-call rule.
template <typename T> CK_RV deliverList(const std::vector<T>& items, T* out, CK_ULONG* count) {
    if (!count)
        return CKR_ARGUMENTS_BAD;
    const bool tooSmall = out && *count < items.size();
    if (out && !tooSmall && !items.empty())
        std::memcpy(out, items.data(), items.size() * sizeof(T));
    *count = items.size();
    return tooSmall ? CKR_BUFFER_TOO_SMALL : CKR_OK;
}

template <typename T> void requirePointer(const T* pointer) {
    if (!pointer)
        fail(CKR_ARGUMENTS_BAD);
}

extern CK_FUNCTION_LIST functionList;

} // namespace

extern "C" {

CK_RV C_Initialize(CK_VOID_PTR initArgs) {
    return lifecycle().initialize(static_cast<const CK_C_INITIALIZE_ARGS*>(initArgs));
}

CK_RV C_Finalize(CK_VOID_PTR reserved) {
    return lifecycle().finalize(reserved);
}

CK_RV C_GetInfo(CK_INFO_PTR info) {
    return withContext([&](ModuleContext&) {
        requirePointer(info);
        std::memset(info, 0, sizeof *info);
        info->cryptokiVersion = {CRYPTOKI_VERSION_MAJOR, CRYPTOKI_VERSION_MINOR};
        copyBlankPadded(info->manufacturerID, sizeof info->manufacturerID, "Norvale");
        copyBlankPadded(info->libraryDescription, sizeof info->libraryDescription, "PellorZu virtual keys");
        info->libraryVersion = {1, 0};
        return CKR_OK;
    });
}

CK_RV C_GetSlotList(CK_BBOOL, CK_SLOT_ID_PTR slots, CK_ULONG_PTR count) {
    // Every slot of the module holds a key: the list is the same with or without tokenPresent.
    return withContext([&](ModuleContext& context) {
        requirePointer(count);
        // Only the first of the two calls rescans, so the second gets the list the first one measured.
        std::vector<CK_SLOT_ID> list = slots ? context.slots().slots() : TokenService(context).slotList();
        return deliverList(list, slots, count);
    });
}

CK_RV C_GetSlotInfo(CK_SLOT_ID slot, CK_SLOT_INFO_PTR info) {
    return withContext([&](ModuleContext& context) {
        requirePointer(info);
        TokenService(context).slotInfo(slot, *info);
        return CKR_OK;
    });
}

CK_RV C_GetTokenInfo(CK_SLOT_ID slot, CK_TOKEN_INFO_PTR info) {
    return withContext([&](ModuleContext& context) {
        requirePointer(info);
        TokenService(context).tokenInfo(slot, *info);
        return CKR_OK;
    });
}

CK_RV C_GetMechanismList(CK_SLOT_ID slot, CK_MECHANISM_TYPE_PTR list, CK_ULONG_PTR count) {
    return withContext([&](ModuleContext& context) {
        return deliverList(TokenService(context).mechanisms(slot), list, count);
    });
}

CK_RV C_GetMechanismInfo(CK_SLOT_ID slot, CK_MECHANISM_TYPE type, CK_MECHANISM_INFO_PTR info) {
    return withContext([&](ModuleContext& context) {
        requirePointer(info);
        TokenService(context).mechanismInfo(slot, type, *info);
        return CKR_OK;
    });
}

CK_RV C_InitToken(CK_SLOT_ID slot, CK_UTF8CHAR_PTR pin, CK_ULONG pinLength, CK_UTF8CHAR_PTR label) {
    return withContext([&](ModuleContext& context) {
        requirePointer(label);
        std::string text(trimBlankPadded(label, 32));
        TokenService(context).initToken(slot, pinOf(pin, pinLength), text);
        return CKR_OK;
    });
}

CK_RV C_InitPIN(CK_SESSION_HANDLE session, CK_UTF8CHAR_PTR pin, CK_ULONG pinLength) {
    return withContext([&](ModuleContext& context) {
        TokenService(context).initPin(session, pinOf(pin, pinLength));
        return CKR_OK;
    });
}

CK_RV C_SetPIN(CK_SESSION_HANDLE session, CK_UTF8CHAR_PTR oldPin, CK_ULONG oldLength, CK_UTF8CHAR_PTR newPin,
               CK_ULONG newLength) {
    return withContext([&](ModuleContext& context) {
        TokenService(context).setPin(session, pinOf(oldPin, oldLength), pinOf(newPin, newLength));
        return CKR_OK;
    });
}

CK_RV C_OpenSession(CK_SLOT_ID slot, CK_FLAGS flags, CK_VOID_PTR, CK_NOTIFY, CK_SESSION_HANDLE_PTR session) {
    return withContext([&](ModuleContext& context) {
        requirePointer(session);
        *session = TokenService(context).openSession(slot, flags);
        return CKR_OK;
    });
}

CK_RV C_CloseSession(CK_SESSION_HANDLE session) {
    return withContext([&](ModuleContext& context) {
        TokenService(context).closeSession(session);
        return CKR_OK;
    });
}

CK_RV C_CloseAllSessions(CK_SLOT_ID slot) {
    return withContext([&](ModuleContext& context) {
        TokenService(context).closeAllSessions(slot);
        return CKR_OK;
    });
}

CK_RV C_GetSessionInfo(CK_SESSION_HANDLE session, CK_SESSION_INFO_PTR info) {
    return withContext([&](ModuleContext& context) {
        requirePointer(info);
        TokenService(context).sessionInfo(session, *info);
        return CKR_OK;
    });
}

CK_RV C_GetOperationState(CK_SESSION_HANDLE, CK_BYTE_PTR, CK_ULONG_PTR) {
    return CKR_FUNCTION_NOT_SUPPORTED;
}

CK_RV C_SetOperationState(CK_SESSION_HANDLE, CK_BYTE_PTR, CK_ULONG, CK_OBJECT_HANDLE, CK_OBJECT_HANDLE) {
    return CKR_FUNCTION_NOT_SUPPORTED;
}

CK_RV C_Login(CK_SESSION_HANDLE session, CK_USER_TYPE user, CK_UTF8CHAR_PTR pin, CK_ULONG pinLength) {
    return withContext([&](ModuleContext& context) {
        TokenService(context).login(session, user, pinOf(pin, pinLength));
        return CKR_OK;
    });
}

CK_RV C_Logout(CK_SESSION_HANDLE session) {
    return withContext([&](ModuleContext& context) {
        TokenService(context).logout(session);
        return CKR_OK;
    });
}

CK_RV C_CreateObject(CK_SESSION_HANDLE session, CK_ATTRIBUTE_PTR attributes, CK_ULONG count,
                     CK_OBJECT_HANDLE_PTR object) {
    return withContext([&](ModuleContext& context) {
        requirePointer(object);
        *object = ObjectService(context).create(session, attributes, count);
        return CKR_OK;
    });
}

CK_RV C_CopyObject(CK_SESSION_HANDLE, CK_OBJECT_HANDLE, CK_ATTRIBUTE_PTR, CK_ULONG, CK_OBJECT_HANDLE_PTR) {
    return CKR_FUNCTION_NOT_SUPPORTED; // every object is CKA_COPYABLE false
}

CK_RV C_DestroyObject(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object) {
    return withContext([&](ModuleContext& context) {
        ObjectService(context).destroy(session, object);
        return CKR_OK;
    });
}

CK_RV C_GetObjectSize(CK_SESSION_HANDLE, CK_OBJECT_HANDLE, CK_ULONG_PTR) {
    return CKR_FUNCTION_NOT_SUPPORTED;
}

CK_RV C_GetAttributeValue(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object, CK_ATTRIBUTE_PTR attributes,
                          CK_ULONG count) {
    return withContext([&](ModuleContext& context) {
        return ObjectService(context).getAttributes(session, object, attributes, count);
    });
}

CK_RV C_SetAttributeValue(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object, CK_ATTRIBUTE_PTR, CK_ULONG) {
    // Every object is CKA_MODIFIABLE false; an unknown handle is still told apart.
    return withContext([&](ModuleContext& context) {
        const Session& owner = context.session(session);
        if (!context.sessions().sessionObject(owner.serial, object))
            context.handles().refOf(object);
        return CKR_ACTION_PROHIBITED;
    });
}

CK_RV C_FindObjectsInit(CK_SESSION_HANDLE session, CK_ATTRIBUTE_PTR attributes, CK_ULONG count) {
    return withContext([&](ModuleContext& context) {
        ObjectService(context).findInit(session, attributes, count);
        return CKR_OK;
    });
}

CK_RV C_FindObjects(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE_PTR objects, CK_ULONG most,
                    CK_ULONG_PTR count) {
    return withContext([&](ModuleContext& context) {
        requirePointer(count);
        if (most && !objects)
            fail(CKR_ARGUMENTS_BAD);
        std::vector<CK_OBJECT_HANDLE> found = ObjectService(context).find(session, most);
        std::copy(found.begin(), found.end(), objects);
        *count = found.size();
        return CKR_OK;
    });
}

CK_RV C_FindObjectsFinal(CK_SESSION_HANDLE session) {
    return withContext([&](ModuleContext& context) {
        ObjectService(context).findFinal(session);
        return CKR_OK;
    });
}

CK_RV C_EncryptInit(CK_SESSION_HANDLE, CK_MECHANISM_PTR, CK_OBJECT_HANDLE) {
    return CKR_FUNCTION_NOT_SUPPORTED; // encryption needs no key: callers use the public key themselves
}

CK_RV C_Encrypt(CK_SESSION_HANDLE, CK_BYTE_PTR, CK_ULONG, CK_BYTE_PTR, CK_ULONG_PTR) {
    return CKR_FUNCTION_NOT_SUPPORTED;
}

CK_RV C_EncryptUpdate(CK_SESSION_HANDLE, CK_BYTE_PTR, CK_ULONG, CK_BYTE_PTR, CK_ULONG_PTR) {
    return CKR_FUNCTION_NOT_SUPPORTED;
}

CK_RV C_EncryptFinal(CK_SESSION_HANDLE, CK_BYTE_PTR, CK_ULONG_PTR) {
    return CKR_FUNCTION_NOT_SUPPORTED;
}

CK_RV C_DecryptInit(CK_SESSION_HANDLE session, CK_MECHANISM_PTR mechanism, CK_OBJECT_HANDLE key) {
    return withContext([&](ModuleContext& context) {
        CryptoService(context).decryptInit(session, mechanism, key);
        return CKR_OK;
    });
}

CK_RV C_Decrypt(CK_SESSION_HANDLE session, CK_BYTE_PTR data, CK_ULONG size, CK_BYTE_PTR plain,
                CK_ULONG_PTR plainSize) {
    return withContext([&](ModuleContext& context) {
        return CryptoService(context).decrypt(session, data, size, OutputBuffer(plain, plainSize));
    });
}

CK_RV C_DecryptUpdate(CK_SESSION_HANDLE session, CK_BYTE_PTR data, CK_ULONG size, CK_BYTE_PTR plain,
                      CK_ULONG_PTR plainSize) {
    return withContext([&](ModuleContext& context) {
        return CryptoService(context).decryptUpdate(session, data, size, OutputBuffer(plain, plainSize));
    });
}

CK_RV C_DecryptFinal(CK_SESSION_HANDLE session, CK_BYTE_PTR plain, CK_ULONG_PTR plainSize) {
    return withContext([&](ModuleContext& context) {
        return CryptoService(context).decryptFinal(session, OutputBuffer(plain, plainSize));
    });
}

CK_RV C_DigestInit(CK_SESSION_HANDLE session, CK_MECHANISM_PTR mechanism) {
    return withContext([&](ModuleContext& context) {
        CryptoService(context).digestInit(session, mechanism);
        return CKR_OK;
    });
}

CK_RV C_Digest(CK_SESSION_HANDLE session, CK_BYTE_PTR data, CK_ULONG size, CK_BYTE_PTR digest,
               CK_ULONG_PTR digestSize) {
    return withContext([&](ModuleContext& context) {
        return CryptoService(context).digest(session, data, size, OutputBuffer(digest, digestSize));
    });
}

CK_RV C_DigestUpdate(CK_SESSION_HANDLE session, CK_BYTE_PTR data, CK_ULONG size) {
    return withContext([&](ModuleContext& context) {
        CryptoService(context).digestUpdate(session, data, size);
        return CKR_OK;
    });
}

CK_RV C_DigestKey(CK_SESSION_HANDLE, CK_OBJECT_HANDLE) {
    return CKR_FUNCTION_NOT_SUPPORTED;
}

CK_RV C_DigestFinal(CK_SESSION_HANDLE session, CK_BYTE_PTR digest, CK_ULONG_PTR digestSize) {
    return withContext([&](ModuleContext& context) {
        return CryptoService(context).digestFinal(session, OutputBuffer(digest, digestSize));
    });
}

CK_RV C_SignInit(CK_SESSION_HANDLE session, CK_MECHANISM_PTR mechanism, CK_OBJECT_HANDLE key) {
    return withContext([&](ModuleContext& context) {
        CryptoService(context).signInit(session, mechanism, key);
        return CKR_OK;
    });
}

CK_RV C_Sign(CK_SESSION_HANDLE session, CK_BYTE_PTR data, CK_ULONG size, CK_BYTE_PTR signature,
             CK_ULONG_PTR signatureSize) {
    return withContext([&](ModuleContext& context) {
        return CryptoService(context).sign(session, data, size, OutputBuffer(signature, signatureSize));
    });
}

CK_RV C_SignUpdate(CK_SESSION_HANDLE session, CK_BYTE_PTR data, CK_ULONG size) {
    return withContext([&](ModuleContext& context) {
        CryptoService(context).signUpdate(session, data, size);
        return CKR_OK;
    });
}

CK_RV C_SignFinal(CK_SESSION_HANDLE session, CK_BYTE_PTR signature, CK_ULONG_PTR signatureSize) {
    return withContext([&](ModuleContext& context) {
        return CryptoService(context).signFinal(session, OutputBuffer(signature, signatureSize));
    });
}

CK_RV C_SignRecoverInit(CK_SESSION_HANDLE, CK_MECHANISM_PTR, CK_OBJECT_HANDLE) {
    return CKR_FUNCTION_NOT_SUPPORTED;
}

CK_RV C_SignRecover(CK_SESSION_HANDLE, CK_BYTE_PTR, CK_ULONG, CK_BYTE_PTR, CK_ULONG_PTR) {
    return CKR_FUNCTION_NOT_SUPPORTED;
}

CK_RV C_VerifyInit(CK_SESSION_HANDLE session, CK_MECHANISM_PTR mechanism, CK_OBJECT_HANDLE key) {
    return withContext([&](ModuleContext& context) {
        CryptoService(context).verifyInit(session, mechanism, key);
        return CKR_OK;
    });
}

CK_RV C_Verify(CK_SESSION_HANDLE session, CK_BYTE_PTR data, CK_ULONG size, CK_BYTE_PTR signature,
               CK_ULONG signatureSize) {
    return withContext([&](ModuleContext& context) {
        return CryptoService(context).verify(session, data, size, signature, signatureSize);
    });
}

CK_RV C_VerifyUpdate(CK_SESSION_HANDLE session, CK_BYTE_PTR data, CK_ULONG size) {
    return withContext([&](ModuleContext& context) {
        CryptoService(context).verifyUpdate(session, data, size);
        return CKR_OK;
    });
}

CK_RV C_VerifyFinal(CK_SESSION_HANDLE session, CK_BYTE_PTR signature, CK_ULONG signatureSize) {
    return withContext([&](ModuleContext& context) {
        return CryptoService(context).verifyFinal(session, signature, signatureSize);
    });
}

CK_RV C_VerifyRecoverInit(CK_SESSION_HANDLE, CK_MECHANISM_PTR, CK_OBJECT_HANDLE) {
    return CKR_FUNCTION_NOT_SUPPORTED;
}

CK_RV C_VerifyRecover(CK_SESSION_HANDLE, CK_BYTE_PTR, CK_ULONG, CK_BYTE_PTR, CK_ULONG_PTR) {
    return CKR_FUNCTION_NOT_SUPPORTED;
}

CK_RV C_DigestEncryptUpdate(CK_SESSION_HANDLE, CK_BYTE_PTR, CK_ULONG, CK_BYTE_PTR, CK_ULONG_PTR) {
    return CKR_FUNCTION_NOT_SUPPORTED;
}

CK_RV C_DecryptDigestUpdate(CK_SESSION_HANDLE, CK_BYTE_PTR, CK_ULONG, CK_BYTE_PTR, CK_ULONG_PTR) {
    return CKR_FUNCTION_NOT_SUPPORTED;
}

CK_RV C_SignEncryptUpdate(CK_SESSION_HANDLE, CK_BYTE_PTR, CK_ULONG, CK_BYTE_PTR, CK_ULONG_PTR) {
    return CKR_FUNCTION_NOT_SUPPORTED;
}

CK_RV C_DecryptVerifyUpdate(CK_SESSION_HANDLE, CK_BYTE_PTR, CK_ULONG, CK_BYTE_PTR, CK_ULONG_PTR) {
    return CKR_FUNCTION_NOT_SUPPORTED;
}

CK_RV C_GenerateKey(CK_SESSION_HANDLE, CK_MECHANISM_PTR, CK_ATTRIBUTE_PTR, CK_ULONG, CK_OBJECT_HANDLE_PTR) {
    return CKR_FUNCTION_NOT_SUPPORTED; // the key keeps key pairs only
}

CK_RV C_GenerateKeyPair(CK_SESSION_HANDLE session, CK_MECHANISM_PTR mechanism,
                        CK_ATTRIBUTE_PTR publicAttributes, CK_ULONG publicCount,
                        CK_ATTRIBUTE_PTR privateAttributes, CK_ULONG privateCount,
                        CK_OBJECT_HANDLE_PTR publicKey, CK_OBJECT_HANDLE_PTR privateKey) {
    return withContext([&](ModuleContext& context) {
        requirePointer(mechanism);
        requirePointer(publicKey);
        requirePointer(privateKey);
        ObjectService(context).generateKeyPair(session, *mechanism, publicAttributes, publicCount,
                                               privateAttributes, privateCount, *publicKey, *privateKey);
        return CKR_OK;
    });
}

CK_RV C_WrapKey(CK_SESSION_HANDLE, CK_MECHANISM_PTR, CK_OBJECT_HANDLE, CK_OBJECT_HANDLE, CK_BYTE_PTR,
                CK_ULONG_PTR) {
    return CKR_FUNCTION_NOT_SUPPORTED;
}

CK_RV C_UnwrapKey(CK_SESSION_HANDLE session, CK_MECHANISM_PTR mechanism, CK_OBJECT_HANDLE unwrappingKey,
                  CK_BYTE_PTR wrapped, CK_ULONG wrappedSize, CK_ATTRIBUTE_PTR attributes, CK_ULONG count,
                  CK_OBJECT_HANDLE_PTR key) {
    return withContext([&](ModuleContext& context) {
        requirePointer(key);
        *key = CryptoService(context).unwrapKey(session, mechanism, unwrappingKey, wrapped, wrappedSize,
                                                attributes, count);
        return CKR_OK;
    });
}

CK_RV C_DeriveKey(CK_SESSION_HANDLE session, CK_MECHANISM_PTR mechanism, CK_OBJECT_HANDLE baseKey,
                  CK_ATTRIBUTE_PTR attributes, CK_ULONG count, CK_OBJECT_HANDLE_PTR key) {
    return withContext([&](ModuleContext& context) {
        requirePointer(key);
        *key = CryptoService(context).deriveKey(session, mechanism, baseKey, attributes, count);
        return CKR_OK;
    });
}

CK_RV C_SeedRandom(CK_SESSION_HANDLE session, CK_BYTE_PTR, CK_ULONG) {
    return withContext([&](ModuleContext& context) {
        context.session(session);
        return CKR_RANDOM_SEED_NOT_SUPPORTED; // OpenSSL seeds itself from the system
    });
}

CK_RV C_GenerateRandom(CK_SESSION_HANDLE session, CK_BYTE_PTR data, CK_ULONG size) {
    return withContext([&](ModuleContext& context) {
        CryptoService(context).generateRandom(session, data, size);
        return CKR_OK;
    });
}

CK_RV C_GetFunctionStatus(CK_SESSION_HANDLE) {
    return CKR_FUNCTION_NOT_PARALLEL;
}

CK_RV C_CancelFunction(CK_SESSION_HANDLE) {
    return CKR_FUNCTION_NOT_PARALLEL;
}

CK_RV C_WaitForSlotEvent(CK_FLAGS flags, CK_SLOT_ID_PTR slot, CK_VOID_PTR reserved) {
    return lifecycle().waitForSlotEvent(flags, slot, reserved);
}

} // extern "C"

namespace {

CK_FUNCTION_LIST functionList = {
    {CRYPTOKI_VERSION_MAJOR, CRYPTOKI_VERSION_MINOR},
    C_Initialize,
    C_Finalize,
    C_GetInfo,
    C_GetFunctionList,
    C_GetSlotList,
    C_GetSlotInfo,
    C_GetTokenInfo,
    C_GetMechanismList,
    C_GetMechanismInfo,
    C_InitToken,
    C_InitPIN,
    C_SetPIN,
    C_OpenSession,
    C_CloseSession,
    C_CloseAllSessions,
    C_GetSessionInfo,
    C_GetOperationState,
    C_SetOperationState,
    C_Login,
    C_Logout,
    C_CreateObject,
    C_CopyObject,
    C_DestroyObject,
    C_GetObjectSize,
    C_GetAttributeValue,
    C_SetAttributeValue,
    C_FindObjectsInit,
    C_FindObjects,
    C_FindObjectsFinal,
    C_EncryptInit,
    C_Encrypt,
    C_EncryptUpdate,
    C_EncryptFinal,
    C_DecryptInit,
    C_Decrypt,
    C_DecryptUpdate,
    C_DecryptFinal,
    C_DigestInit,
    C_Digest,
    C_DigestUpdate,
    C_DigestKey,
    C_DigestFinal,
    C_SignInit,
    C_Sign,
    C_SignUpdate,
    C_SignFinal,
    C_SignRecoverInit,
    C_SignRecover,
    C_VerifyInit,
    C_Verify,
    C_VerifyUpdate,
    C_VerifyFinal,
    C_VerifyRecoverInit,
    C_VerifyRecover,
    C_DigestEncryptUpdate,
    C_DecryptDigestUpdate,
    C_SignEncryptUpdate,
    C_DecryptVerifyUpdate,
    C_GenerateKey,
    C_GenerateKeyPair,
    C_WrapKey,
    C_UnwrapKey,
    C_DeriveKey,
    C_SeedRandom,
    C_GenerateRandom,
    C_GetFunctionStatus,
    C_CancelFunction,
    C_WaitForSlotEvent,
};

} // namespace

// The one symbol the module exports.
extern "C" __attribute__((visibility("default"))) CK_RV C_GetFunctionList(CK_FUNCTION_LIST_PTR_PTR list) {
    if (!list)
        return CKR_ARGUMENTS_BAD;
    *list = &functionList;
    return CKR_OK;
}
