// The object functions of the module: searching, reading attributes, creating (certificates and private
// keys), generating key pairs and destroying. Changes to the key need a read-write session and the user's
// login; the session objects (unwrapped secret keys) are found, read and destroyed beside the key's objects.
#pragma once

#include "module_context.h"

#include <vector>

namespace quillard::module {

class ObjectService {
public:
    explicit ObjectService(ModuleContext& context) : context_(context) {}

    void findInit(CK_SESSION_HANDLE handle, const CK_ATTRIBUTE* attributes, CK_ULONG count);
    std::vector<CK_OBJECT_HANDLE> find(CK_SESSION_HANDLE handle, CK_ULONG most);
    void findFinal(CK_SESSION_HANDLE handle);
    CK_RV getAttributes(CK_SESSION_HANDLE handle, CK_OBJECT_HANDLE object, CK_ATTRIBUTE* attributes,
                        CK_ULONG count);

    CK_OBJECT_HANDLE create(CK_SESSION_HANDLE handle, const CK_ATTRIBUTE* attributes, CK_ULONG count);
    void generateKeyPair(CK_SESSION_HANDLE handle, const CK_MECHANISM& mechanism,
                         const CK_ATTRIBUTE* publicAttributes, CK_ULONG publicCount,
                         const CK_ATTRIBUTE* privateAttributes, CK_ULONG privateCount,
                         CK_OBJECT_HANDLE& publicKey, CK_OBJECT_HANDLE& privateKey);
    void destroy(CK_SESSION_HANDLE handle, CK_OBJECT_HANDLE object);

private:
    // The session, checked to be read-write and logged in as the user.
    Session& writableSession(CK_SESSION_HANDLE handle);
    // The session object `object` of the session's key; nullptr when it is none, CKR_OBJECT_HANDLE_INVALID
    // when it is private and the user is not logged in.
    const AttributeSet* visibleSessionObject(const Session& session, CK_OBJECT_HANDLE object);

    ModuleContext& context_;
};

} // namespace quillard::module
