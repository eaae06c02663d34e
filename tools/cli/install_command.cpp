#include "install_command.h"

#include "cli_texts.h"
#include "failure.h"
#include "key_place_arguments.h"
#include "token/flows/issued_certificate.h"
#include "token/lib/quillard_errors.h"
#include "user_session.h"

namespace cli {

namespace {

Failure installFailure(const token::flows::InstallOutcome& outcome, const QString& file,
                       const QString& chain) {
    using token::flows::InstallProblem;
    switch (outcome.problem) {
    case InstallProblem::CertificateUnreadable:
        return Failure(kFileProblem, text("NotACertificate").arg(file));
    case InstallProblem::ChainUnreadable:
        return Failure(kFileProblem, text("NotACertificate").arg(chain));
    case InstallProblem::ChainRefused:
        return Failure(kFailed, text("ChainRefused").arg(chain.isEmpty() ? file : chain));
    default:
        return outcome.code == QR_NO_MATCHING_KEY
                   ? Failure(kFailed, text("NoMatchingKey"))
                   : Failure(kFailed, failureText(text("InstallFailed"), outcome.code));
    }
}

} // namespace

std::string InstallCommand::usage() const {
    return "usage: pellorzu-cli install KEY CERTFILE [--chain FILE] [--json] [--pin-file FILE | "
           "--pin-stdin]\n"
           "Logs in with the user PIN and installs the certificate of CERTFILE (PEM, DER or PKCS#7; of "
           "several\n"
           "certificates, the one that issued none of the others) beside the key pair on the key whose "
           "public\n"
           "key it carries. A certificate no key pair on the key matches is refused and nothing changes.\n"
           "The certificate must verify against the chain: the other certificates of CERTFILE, or those of\n"
           "--chain FILE. With --json: {serial, module, container, spec}.\n"
           "Secrets: the user PIN.\n";
}

int InstallCommand::run(Invocation& invocation) {
    invocation.expectAtMost(2);
    const FoundKey& key = invocation.key(0);
    token::flows::InstallJob job;
    job.slot = key.slot;
    job.certificatePath = invocation.word(1, "CERTFILE");
    job.chainPath = invocation.arguments().text("chain").value_or("");
    const UserSession session(invocation, key);
    const token::flows::InstallOutcome outcome = token::flows::installIssuedCertificate(job);
    if (outcome.problem != token::flows::InstallProblem::None)
        throw installFailure(outcome, QString::fromLocal8Bit(job.certificatePath),
                             QString::fromLocal8Bit(job.chainPath));
    const token::flows::KeyPlace place{outcome.container, outcome.spec};
    if (invocation.json())
        invocation.printJson(placeJson(key, place));
    else
        invocation.print(text("CertificateInstalled").arg(placeText(place)));
    return kDone;
}

} // namespace cli
