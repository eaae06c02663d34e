// Reads the credentials of certificate files: PKCS#12 files (key/certificate pairs) and X.509 certificate
// files.
#pragma once

#include "credential.h"
#include "driver.h"
#include "key_description.h"
#include "secure_bytes.h"

#include <string>
#include <vector>

namespace quillard {

// The key/certificate pairs of a PKCS#12 file, in the order of the keys in the file; further certificates
// (the issuing CAs) are no entries. Each entry carries certificate, public key and the PKCS#8 private key.
// QR_FILE_NOT_FOUND: no such file; QR_WRONG_PASSWORD: the password does not open the file; QR_FILE_UNUSABLE:
// not a PKCS#12 file, damaged, or without a key and its certificate; QR_FUNCTION_NOT_SUPPORTED: the file
// needs the OpenSSL legacy provider, which is missing. `out` is left alone on failure.
Result parsePkcs12File(const std::string& path, const SecureString& password, std::vector<Credential>& out);
// As parsePkcs12File, except that a file the password opens but that holds no key with its certificate gives
// QR_OK and no entries, so a caller can tell "nothing usable inside" from "cannot be opened".
Result parsePkcs12Entries(const std::string& path, const SecureString& password,
                          std::vector<Credential>& out);

// An X.509 certificate file, DER or PEM (the first certificate of a PEM file). Fills the certificate and its
// public key; the private key stays empty. QR_FILE_NOT_FOUND or QR_FILE_UNUSABLE as above; a certificate
// whose key is neither RSA nor EC gives QR_FUNCTION_NOT_SUPPORTED.
Result parseCertificateFile(const std::string& path, Credential& out);

} // namespace quillard
