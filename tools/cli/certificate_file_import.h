// The import of a certificate file into a logged-in key, shared by `import` and `provision`: a PKCS#12 file
// (.p12, .pfx: its password is asked for, and its last key pair is taken, as in the window) or an X.509
// certificate (any other name, DER or PEM), into an existing container or a new one (named by the caller or
// a fresh GUID, as the window proposes). The import itself is the window's flow, which deletes a container
// it made when the import fails; after a success the key's certificates are registered, as the window does.
#pragma once

#include "key_directory.h"
#include "platform/secret_bytes.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace cli {

struct ImportRequest {
    QString path;
    int32_t spec = 1;
    // The container to import into (created when the key has none of that name); a new GUID-named one
    // when empty.
    std::optional<std::string> container;
    // Refuse a certificate that has expired or is not valid yet (import without --allow-expired).
    bool refuseOutsideValidity = false;
};

// Imports and returns the name of the container the certificate went into; a Failure when anything
// refused. `password` is called once, for a PKCS#12 file only.
std::string importCertificateFile(const FoundKey& key, const ImportRequest& request,
                                  const std::function<platform::SecretBytes()>& password);

// Whether `path` names a PKCS#12 file.
bool isPkcs12Path(const QString& path);

} // namespace cli
