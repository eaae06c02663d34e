#include "export_command.h"

#include "cli_texts.h"
#include "failure.h"
#include "key_spec.h"
#include "platform/owner_file.h"
#include "token/flows/certificate_export.h"
#include "user_session.h"

namespace cli {

std::string ExportCommand::usage() const {
    return "usage: pellorzu-cli export KEY CONTAINER SPEC FILE [--pem] [--pin-file FILE | --pin-stdin]\n"
           "Logs in with the user PIN and writes the certificate of SPEC (exchange or signature, 1 or 2) in\n"
           "CONTAINER to FILE: DER exactly as the key holds it, or PEM with --pem. The file is written to a\n"
           "temporary name and renamed into place; a new file is readable by its owner only.\n"
           "Secrets: the user PIN.\n";
}

int ExportCommand::run(Invocation& invocation) {
    invocation.expectAtMost(4);
    const FoundKey& key = invocation.key(0);
    const std::string container = invocation.word(1, "CONTAINER");
    const int32_t spec = parseKeySpec(invocation.word(2, "SPEC"));
    const QString path = QString::fromLocal8Bit(invocation.word(3, "FILE"));
    const UserSession session(invocation, key);
    std::vector<uint8_t> certificate;
    if (const int32_t result = token::flows::readCertificate(key.slot, container, spec, certificate))
        throw Failure(kFailed, failureText(windowText("K_GetKeyCert_Error"), result));
    QByteArray bytes(reinterpret_cast<const char*>(certificate.data()),
                     static_cast<qsizetype>(certificate.size()));
    if (invocation.arguments().has("pem")) {
        std::string pem;
        if (const int32_t result = token::flows::certificatePem(certificate, pem))
            throw Failure(kFailed, failureText(windowText("K_GetKeyCert_Error"), result));
        bytes = QByteArray::fromStdString(pem);
    }
    if (!platform::writeWholeFile(path, bytes))
        throw Failure(kFileProblem, QStringLiteral("Unable to write to %1").arg(path));
    invocation.print(windowText("OutPut_OK"));
    return kDone;
}

} // namespace cli
