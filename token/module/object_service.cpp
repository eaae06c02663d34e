#include "object_service.h"

#include "key_import.h"
#include "module_error.h"
#include "template_reader.h"
#include "token/lib/quillard_errors.h"

#include <algorithm>

namespace quillard::module {

void ObjectService::findInit(CK_SESSION_HANDLE handle, const CK_ATTRIBUTE* attributes, CK_ULONG count) {
    Session& session = context_.session(handle);
    if (count && !attributes)
        fail(CKR_ARGUMENTS_BAD);
    if (session.found)
        fail(CKR_OPERATION_ACTIVE);
    const bool withPrivate = context_.userLoggedIn(session.serial);
    std::vector<CK_OBJECT_HANDLE> found;
    for (const TokenObject& object : context_.objectsOf(session).all(withPrivate))
        if (object.attributes.matches(attributes, count))
            found.push_back(object.handle);
    for (const auto& [objectHandle, object] : context_.sessions().sessionObjectsOf(session.serial))
        if ((withPrivate || !object->flag(CKA_PRIVATE)) && object->matches(attributes, count))
            found.push_back(objectHandle);
    session.found = std::move(found);
    session.nextFound = 0;
}

std::vector<CK_OBJECT_HANDLE> ObjectService::find(CK_SESSION_HANDLE handle, CK_ULONG most) {
    Session& session = context_.session(handle);
    if (!session.found)
        fail(CKR_OPERATION_NOT_INITIALIZED);
    const std::vector<CK_OBJECT_HANDLE>& found = *session.found;
    std::size_t end = session.nextFound + std::min<std::size_t>(most, found.size() - session.nextFound);
    std::vector<CK_OBJECT_HANDLE> handles(found.begin() + static_cast<std::ptrdiff_t>(session.nextFound),
                                          found.begin() + static_cast<std::ptrdiff_t>(end));
    session.nextFound = end;
    return handles;
}

void ObjectService::findFinal(CK_SESSION_HANDLE handle) {
    Session& session = context_.session(handle);
    if (!session.found)
        fail(CKR_OPERATION_NOT_INITIALIZED);
    session.found.reset();
}

CK_RV ObjectService::getAttributes(CK_SESSION_HANDLE handle, CK_OBJECT_HANDLE object,
                                   CK_ATTRIBUTE* attributes, CK_ULONG count) {
    Session& session = context_.session(handle);
    if (count && !attributes)
        fail(CKR_ARGUMENTS_BAD);
    const bool withPrivate = context_.userLoggedIn(session.serial);
    if (const AttributeSet* sessionObject = visibleSessionObject(session, object))
        return sessionObject->copyInto(attributes, count);
    const ObjectRef ref = context_.handles().refOf(object);
    TokenObject found = context_.objectsOf(session).one(ref, withPrivate);
    return found.attributes.copyInto(attributes, count);
}

const AttributeSet* ObjectService::visibleSessionObject(const Session& session, CK_OBJECT_HANDLE object) {
    const AttributeSet* found = context_.sessions().sessionObject(session.serial, object);
    if (found && found->flag(CKA_PRIVATE) && !context_.userLoggedIn(session.serial))
        fail(CKR_OBJECT_HANDLE_INVALID);
    return found;
}

Session& ObjectService::writableSession(CK_SESSION_HANDLE handle) {
    Session& session = context_.session(handle);
    if (!session.isReadWrite())
        fail(CKR_SESSION_READ_ONLY);
    if (!context_.userLoggedIn(session.serial))
        fail(CKR_USER_NOT_LOGGED_IN);
    return session;
}

CK_OBJECT_HANDLE ObjectService::create(CK_SESSION_HANDLE handle, const CK_ATTRIBUTE* attributes,
                                       CK_ULONG count) {
    Session& session = writableSession(handle);
    TemplateReader reader(attributes, count);
    std::optional<CK_ULONG> objectClass = reader.ulong(CKA_CLASS);
    if (!objectClass)
        fail(CKR_TEMPLATE_INCOMPLETE);
    KeyImport import(context_, session);
    if (*objectClass == CKO_CERTIFICATE)
        return import.certificate(reader);
    if (*objectClass == CKO_PRIVATE_KEY)
        return import.privateKey(reader);
    // A public key is kept with its private key only; data and secret-key objects have no place on the key.
    fail(CKR_ATTRIBUTE_VALUE_INVALID);
}

void ObjectService::generateKeyPair(CK_SESSION_HANDLE handle, const CK_MECHANISM& mechanism,
                                    const CK_ATTRIBUTE* publicAttributes, CK_ULONG publicCount,
                                    const CK_ATTRIBUTE* privateAttributes, CK_ULONG privateCount,
                                    CK_OBJECT_HANDLE& publicKey, CK_OBJECT_HANDLE& privateKey) {
    Session& session = writableSession(handle);
    TemplateReader publicReader(publicAttributes, publicCount);
    TemplateReader privateReader(privateAttributes, privateCount);
    privateKey =
        KeyImport(context_, session).generate(mechanism.mechanism, publicReader, privateReader, publicKey);
}

void ObjectService::destroy(CK_SESSION_HANDLE handle, CK_OBJECT_HANDLE object) {
    // Session objects may be destroyed in a read-only session too: they change nothing on the key.
    if (const Session& owner = context_.session(handle); visibleSessionObject(owner, object)) {
        context_.sessions().destroySessionObject(owner.serial, object);
        return;
    }
    Session& session = writableSession(handle);
    const ObjectRef ref = context_.handles().refOf(object);
    context_.objectsOf(session).one(ref, true); // it must be there, on this key
    const int32_t idx = context_.indexOf(session);
    if (ref.kind == softkey::ObjectKind::Certificate)
        require(context_.driver().deleteCertificate(idx, ref.container, ref.spec));
    else if (Result result = context_.driver().deleteKey(idx, ref.container, ref.spec, ref.kind);
             result == QR_ARGUMENTS_BAD)
        fail(CKR_ACTION_PROHIBITED); // a public key stays while its private key or certificate needs it
    else
        require(result);
}

} // namespace quillard::module
