// The containers of one key and the objects in them, worked on inside the caller's transaction. A container
// name is a byte string kept exactly as given. Under each key specification (1 exchange, 2 signature) a
// container holds a certificate, its public key and, when imported from a PKCS#12 file, the private key,
// which is stored only sealed under the key's master key.
#pragma once

#include "key_database.h"
#include "opened_keys.h"
#include "token/lib/credential.h"
#include "token/lib/secure_bytes.h"

#include <string>
#include <vector>

namespace quillard::softkey {

class ContainerStore {
public:
    static constexpr std::size_t kLongestName = 255;

    explicit ContainerStore(KeyDatabase& database) : database_(database) {}

    // Every operation naming a container throws SoftkeyError(QR_CONTAINER_NOT_FOUND) when there is none of
    // that name, and SoftkeyError(QR_ARGUMENTS_BAD) for a key specification other than 1 or 2.
    std::vector<std::string> names() { return database_.containerNames(); }
    // QR_CONTAINER_EXISTS for a name in use; QR_ARGUMENTS_BAD for an empty name, one longer than 255 bytes or
    // one holding a zero byte.
    void create(const std::string& name);
    void remove(const std::string& name);
    // Removes only the certificate of `spec`; QR_OBJECT_HANDLE_INVALID when there is none.
    void removeCertificate(const std::string& name, int32_t spec);
    // Removes the public or the private key of `spec`; QR_OBJECT_HANDLE_INVALID when there is none, and
    // QR_ARGUMENTS_BAD for a public key whose private key or certificate is still there (they need it).
    void removeKey(const std::string& name, int32_t spec, ObjectKind kind);

    // QR_OBJECT_HANDLE_INVALID when the object is missing.
    std::vector<uint8_t> certificate(const std::string& name, int32_t spec);
    KeyDescription publicKey(const std::string& name, int32_t spec);
    // The algorithm and size of the private key, stored with it at the import, once its seal has opened
    // (which proves it whole and in its place); QR_DEVICE_ERROR when it does not open.
    KeyDescription privateKey(const std::string& name, int32_t spec, const SecureBytes& masterKey);
    // The private key itself, for use inside this process: taken from `opened` while the key stored is the
    // one it was opened from, else unsealed, decoded and kept there. QR_DEVICE_ERROR as above, also for a
    // seal that opens on something that is no private key.
    EVP_PKEY* openPrivateKey(const std::string& name, int32_t spec, const SecureBytes& masterKey,
                             OpenedKeys& opened);

    // Replaces what `spec` holds with the credential. A private key must belong to the certificate's public
    // key (else QR_ARGUMENTS_BAD). Without one, a previous private key stays only when it belongs to the new
    // certificate, so a certificate is never left beside another certificate's key.
    void import(const std::string& name, int32_t spec, const Credential& credential,
                const SecureBytes& masterKey);

    // Keeps a key pair without a certificate under `spec` (a generated or imported key): its public key and
    // its private key sealed under the master key. QR_CONTAINER_EXISTS when `spec` holds anything already,
    // so no key is ever replaced unseen. Returns the description of the public key.
    KeyDescription storeKeyPair(const std::string& name, int32_t spec, const SecureBytes& pkcs8,
                                const SecureBytes& masterKey);

    // Throws SoftkeyError(QR_OUT_OF_SPACE) when the contents take more than `totalMemory` bytes.
    void checkRoom(int64_t totalMemory);

private:
    int64_t containerId(const std::string& name);
    StoredObject storedObject(const std::string& name, int32_t spec, ObjectKind kind);
    static SecureBytes unseal(const std::string& name, int32_t spec, const StoredObject& object,
                              const SecureBytes& masterKey);
    void storePrivateKey(int64_t container, const std::string& name, int32_t spec, const SecureBytes& pkcs8,
                         const SecureBytes& masterKey);

    KeyDatabase& database_;
};

} // namespace quillard::softkey
