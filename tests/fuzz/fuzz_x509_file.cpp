// X.509 certificate files (DER or PEM): any file is read without harm and without asking for a pass phrase,
// and an accepted one gives a certificate of a known version.
#include "fuzz_input_file.h"
#include "token/lib/cert_info.h"
#include "token/lib/credential_parser.h"
#include "token/lib/quillard_errors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static FuzzInputFile input(".cer");
    quillard::Credential credential;
    if (quillard::parseCertificateFile(input.write(data, size), credential) != QR_OK)
        return 0;
    quillard::CertInfo info;
    const auto& der = credential.certificateDer;
    // The import takes certificates whose dates do not read (the certificate tree then reports them); what
    // it takes is exactly one certificate, never one of an unknown version.
    const quillard::Result read = quillard::readCertInfo(der.data(), der.size(), info);
    require(read == QR_OK || read == QR_ARGUMENTS_BAD);
    require(read != QR_OK || (info.version >= 1 && info.version <= 3));
    require(!credential.publicKey.publicKeyDer.empty());
    return 0;
}
