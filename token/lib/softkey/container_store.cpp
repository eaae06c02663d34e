#include "container_store.h"

#include "aes_gcm.h"
#include "key_material.h"
#include "softkey_error.h"
#include "token/lib/key_description.h"

namespace quillard::softkey {

namespace {

void checkSpec(int32_t spec) {
    if (spec != 1 && spec != 2)
        throw SoftkeyError(QR_ARGUMENTS_BAD, "the key specification must be 1 (exchange) or 2 (signature)");
}

// Binds a sealed private key to its place, so a blob copied to another container or specification does not
// open.
std::string privateKeyPurpose(const std::string& name, int32_t spec) {
    return "private key " + std::to_string(spec) + " of " + name;
}

} // namespace

void ContainerStore::create(const std::string& name) {
    if (name.empty() || name.size() > kLongestName || name.find('\0') != std::string::npos)
        throw SoftkeyError(QR_ARGUMENTS_BAD, "a container name has 1 to 255 bytes and no zero byte");
    if (database_.findContainer(name))
        throw SoftkeyError(QR_CONTAINER_EXISTS, "the container exists already");
    if (database_.containerNames().size() >= kMostContainers)
        throw SoftkeyError(QR_CONTAINER_LIMIT, "the key holds as many containers as it can");
    database_.addContainer(name);
}

void ContainerStore::remove(const std::string& name) {
    database_.removeContainer(containerId(name));
}

void ContainerStore::removeCertificate(const std::string& name, int32_t spec) {
    checkSpec(spec);
    if (!database_.removeObject(containerId(name), spec, ObjectKind::Certificate))
        throw SoftkeyError(QR_OBJECT_HANDLE_INVALID, "the container holds no such certificate");
}

void ContainerStore::removeKey(const std::string& name, int32_t spec, ObjectKind kind) {
    checkSpec(spec);
    int64_t container = containerId(name);
    if (kind == ObjectKind::PublicKey && (database_.object(container, spec, ObjectKind::PrivateKey) ||
                                          database_.object(container, spec, ObjectKind::Certificate)))
        throw SoftkeyError(QR_ARGUMENTS_BAD, "the public key is needed by its private key or certificate");
    if (kind == ObjectKind::Certificate || !database_.removeObject(container, spec, kind))
        throw SoftkeyError(QR_OBJECT_HANDLE_INVALID, "the container holds no such key");
}

std::vector<uint8_t> ContainerStore::certificate(const std::string& name, int32_t spec) {
    return storedObject(name, spec, ObjectKind::Certificate).data;
}

KeyDescription ContainerStore::publicKey(const std::string& name, int32_t spec) {
    StoredObject object = storedObject(name, spec, ObjectKind::PublicKey);
    return KeyDescription{object.algorithm, object.bits, std::move(object.data)};
}

KeyDescription ContainerStore::privateKey(const std::string& name, int32_t spec,
                                          const SecureBytes& masterKey) {
    StoredObject object = storedObject(name, spec, ObjectKind::PrivateKey);
    // The tag check proves the sealed key whole and in its place; no need to decode it, its algorithm and
    // size were stored beside it at the import.
    unseal(name, spec, object, masterKey);
    return KeyDescription{object.algorithm, object.bits, {}};
}

EVP_PKEY* ContainerStore::openPrivateKey(const std::string& name, int32_t spec, const SecureBytes& masterKey,
                                         OpenedKeys& opened) {
    const StoredObject object = storedObject(name, spec, ObjectKind::PrivateKey);
    return opened.get(name, spec, object.data, [&] {
        EvpPkeyPtr key = decodePrivateKey(unseal(name, spec, object, masterKey));
        if (!key)
            throw SoftkeyError(QR_DEVICE_ERROR, "the stored private key is no private key");
        return key;
    });
}

SecureBytes ContainerStore::unseal(const std::string& name, int32_t spec, const StoredObject& object,
                                   const SecureBytes& masterKey) {
    SecureBytes pkcs8;
    if (!AesGcm::open(masterKey, object.data, privateKeyPurpose(name, spec), pkcs8))
        throw SoftkeyError(QR_DEVICE_ERROR, "the stored private key does not open");
    return pkcs8;
}

KeyDescription ContainerStore::storeKeyPair(const std::string& name, int32_t spec, const SecureBytes& pkcs8,
                                            const SecureBytes& masterKey) {
    checkSpec(spec);
    int64_t container = containerId(name);
    EvpPkeyPtr key = decodePrivateKey(pkcs8);
    KeyDescription description;
    if (!key || quillard::describePublicKey(key.get(), description) != QR_OK)
        throw SoftkeyError(QR_ARGUMENTS_BAD, "the private key is neither an RSA nor an EC key");
    for (ObjectKind kind : {ObjectKind::Certificate, ObjectKind::PublicKey, ObjectKind::PrivateKey})
        if (database_.object(container, spec, kind))
            throw SoftkeyError(QR_CONTAINER_EXISTS, "the container holds a key pair of this kind already");
    database_.saveObject(container, spec, ObjectKind::PublicKey,
                         {description.algorithm, description.bits, description.publicKeyDer});
    storePrivateKey(container, name, spec, pkcs8, masterKey);
    return description;
}

void ContainerStore::import(const std::string& name, int32_t spec, const Credential& credential,
                            const SecureBytes& masterKey) {
    checkSpec(spec);
    int64_t container = containerId(name);
    if (credential.certificateDer.empty())
        throw SoftkeyError(QR_ARGUMENTS_BAD, "the credential holds no certificate");
    KeyDescription key = KeyMaterial::describePublicKey(credential.publicKey.publicKeyDer);
    std::optional<StoredObject> previousKey = database_.object(container, spec, ObjectKind::PublicKey);
    database_.saveObject(container, spec, ObjectKind::Certificate,
                         {key.algorithm, key.bits, credential.certificateDer});
    database_.saveObject(container, spec, ObjectKind::PublicKey, {key.algorithm, key.bits, key.publicKeyDer});
    if (!credential.privateKeyDer.empty()) {
        if (!KeyMaterial::isPair(credential.privateKeyDer, key.publicKeyDer))
            throw SoftkeyError(QR_ARGUMENTS_BAD, "the private key does not belong to the certificate");
        storePrivateKey(container, name, spec, credential.privateKeyDer, masterKey);
    } else if (!previousKey || previousKey->data != key.publicKeyDer) {
        database_.removeObject(container, spec, ObjectKind::PrivateKey);
    }
}

void ContainerStore::checkRoom(int64_t totalMemory) {
    if (database_.usedMemory() > totalMemory)
        throw SoftkeyError(QR_OUT_OF_SPACE, "the key has no room left");
}

int64_t ContainerStore::containerId(const std::string& name) {
    std::optional<int64_t> container = database_.findContainer(name);
    if (!container)
        throw SoftkeyError(QR_CONTAINER_NOT_FOUND, "there is no such container");
    return *container;
}

StoredObject ContainerStore::storedObject(const std::string& name, int32_t spec, ObjectKind kind) {
    checkSpec(spec);
    std::optional<StoredObject> object = database_.object(containerId(name), spec, kind);
    if (!object)
        throw SoftkeyError(QR_OBJECT_HANDLE_INVALID, "the container holds no such object");
    return std::move(*object);
}

void ContainerStore::storePrivateKey(int64_t container, const std::string& name, int32_t spec,
                                     const SecureBytes& pkcs8, const SecureBytes& masterKey) {
    KeyDescription key = KeyMaterial::describePrivateKey(pkcs8);
    std::vector<uint8_t> sealed =
        AesGcm::seal(masterKey, pkcs8.data(), pkcs8.size(), privateKeyPurpose(name, spec));
    database_.saveObject(container, spec, ObjectKind::PrivateKey,
                         {key.algorithm, key.bits, std::move(sealed)});
}

} // namespace quillard::softkey
