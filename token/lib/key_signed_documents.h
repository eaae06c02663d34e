// Certificate requests and self-signed certificates signed on the key: the document is built here around the
// key pair's public key, and only its digest goes to the key to be signed. Each document is decoded and its
// signature checked against the public key before it is handed out, so a key that signed wrongly is caught.
#pragma once

#include "driver.h"

#include <functional>
#include <string>
#include <vector>

namespace quillard {

struct DocumentSettings {
    std::string subject;  // one-line DN, as subject_name.h reads it
    std::string altNames; // "DNS:a,email:b,IP:c,URI:d", or empty
    int32_t usage = 0;    // a QuillardUsageTemplate
    int32_t days = 0;     // validity of a self-signed certificate, 1 to 36500
};

// Signs `hash`, made with `digest` ("SHA256", "SHA384"), with the key pair's private key.
using DigestSigner = std::function<Result(const std::string& digest, const std::vector<uint8_t>& hash,
                                          std::vector<uint8_t>& signature)>;

// The digest a key signs documents with: SHA-384 for a P-384 key, SHA-256 for every other.
std::string documentDigestFor(const KeyDescription& key);

// A DER PKCS#10 request for `key`. QR_ARGUMENTS_BAD for settings that do not parse; the signer's failure
// as it comes; QR_DEVICE_ERROR when the signature made does not verify.
Result buildRequest(const KeyDescription& key, const DocumentSettings& settings, const DigestSigner& sign,
                    std::vector<uint8_t>& der);
// A DER X.509 v3 certificate for `key`, its own issuer, valid from now for settings.days days.
Result buildSelfSigned(const KeyDescription& key, const DocumentSettings& settings, const DigestSigner& sign,
                       std::vector<uint8_t>& der);

} // namespace quillard
