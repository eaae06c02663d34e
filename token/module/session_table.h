// The open sessions: each belongs to the key of one slot and holds the operations under way in it (a search,
// a signature, a verification, a decryption, a digest), each of which may be active once at a time, and the
// session objects made in it (secret keys from C_UnwrapKey), which every session of the key sees and which
// end with the session that made them.
#pragma once

#include "attribute_set.h"
#include "decrypt_operation.h"
#include "digest_operation.h"
#include "signature_operation.h"

#include <p11-kit/pkcs11.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quillard::module {

struct Session {
    CK_SLOT_ID slot = 0;
    std::string serial;
    int64_t epoch = 0; // the key's session epoch when the session opened; another one means the key went
    CK_FLAGS flags = 0;

    std::optional<std::vector<CK_OBJECT_HANDLE>> found; // of C_FindObjectsInit, while it runs
    std::size_t nextFound = 0;
    std::unique_ptr<SignatureOperation> signing;
    std::unique_ptr<SignatureOperation> verifying;
    std::unique_ptr<DecryptOperation> decrypting;
    std::unique_ptr<DigestOperation> digesting;
    std::optional<KeptSigningContext> keptSigning;    // of the last signature, for the next one
    std::map<CK_OBJECT_HANDLE, AttributeSet> objects; // session objects, by handle

    bool isReadWrite() const { return (flags & CKF_RW_SESSION) != 0; }
    void endOperations();
};

class SessionTable {
public:
    CK_SESSION_HANDLE open(CK_SLOT_ID slot, const std::string& serial, int64_t epoch, CK_FLAGS flags);
    // Throws ModuleError(CKR_SESSION_HANDLE_INVALID) for a handle not open.
    Session& get(CK_SESSION_HANDLE handle);
    void close(CK_SESSION_HANDLE handle);
    void closeAllOf(const std::string& serial);
    // Closes the sessions of `serial` opened under another epoch of the key than `epoch`.
    void closeStale(const std::string& serial, int64_t epoch);
    // Closes the sessions of keys for which `isPlugged` says no.
    template <typename Predicate> void closeUnplugged(Predicate&& isPlugged) {
        std::erase_if(sessions_, [&](const auto& entry) { return !isPlugged(entry.second.serial); });
    }
    std::size_t count(const std::string& serial) const;
    std::size_t countReadWrite(const std::string& serial) const;
    void endOperationsOf(const std::string& serial);

    // The session object `handle` of a session of `serial`; nullptr when there is none.
    const AttributeSet* sessionObject(const std::string& serial, CK_OBJECT_HANDLE handle) const;
    // Every session object of the sessions of `serial`, by handle.
    std::vector<std::pair<CK_OBJECT_HANDLE, const AttributeSet*>>
    sessionObjectsOf(const std::string& serial) const;
    // Ends the session object `handle` of `serial`; false when there is none.
    bool destroySessionObject(const std::string& serial, CK_OBJECT_HANDLE handle);
    // Ends the private session objects of `serial` (at the logout).
    void destroyPrivateObjectsOf(const std::string& serial);

private:
    std::map<CK_SESSION_HANDLE, Session> sessions_;
    CK_SESSION_HANDLE nextHandle_ = 1;
};

} // namespace quillard::module
