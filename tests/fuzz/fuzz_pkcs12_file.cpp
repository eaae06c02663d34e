// PKCS#12 files: any file is read without harm; every entry of an accepted file holds a private key and a
// certificate of a known version.
#include "fuzz_input_file.h"
#include "token/lib/cert_info.h"
#include "token/lib/credential_parser.h"
#include "token/lib/openssl_providers.h"
#include "token/lib/quillard_errors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static FuzzInputFile input(".pfx");
    static bool providers = (quillard::ensureOpenSslProviders(), true);
    (void)providers;
    std::vector<quillard::Credential> entries;
    if (quillard::parsePkcs12File(input.write(data, size), "pw", entries) != QR_OK)
        return 0;
    for (const quillard::Credential& entry : entries) {
        quillard::CertInfo info;
        const auto& der = entry.certificateDer;
        // The import takes certificates whose dates do not read (the certificate tree then reports them);
        // what it takes is exactly one certificate, never one of an unknown version.
        const quillard::Result read = quillard::readCertInfo(der.data(), der.size(), info);
        require(read == QR_OK || read == QR_ARGUMENTS_BAD);
        require(read != QR_OK || (info.version >= 1 && info.version <= 3));
        require(!entry.privateKeyDer.empty());
    }
    return 0;
}
