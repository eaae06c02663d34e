#include "request_command.h"

#include "cli_texts.h"
#include "failure.h"
#include "key_pair_generation.h"
#include "key_place_arguments.h"
#include "platform/owner_file.h"
#include "token/lib/quillard_errors.h"
#include "tools/common/usage_error.h"
#include "user_session.h"

namespace cli {

namespace {

constexpr int64_t kDefaultDays = 365;
constexpr int64_t kLongestDays = 36500;

token::CertificateRequestFields fieldsFrom(const tools::Arguments& arguments) {
    token::CertificateRequestFields fields;
    const std::optional<std::string> subject = arguments.text("subject");
    if (!subject || subject->empty())
        throw tools::UsageError("--subject DN is needed, as /CN=name/O=organisation/C=country");
    fields.subject = *subject;
    fields.altNames = arguments.text("san").value_or("");
    const std::string usage = arguments.text("template").value_or("none");
    const std::optional<int32_t> parsed = token::flows::parseUsageTemplate(usage);
    if (!parsed)
        throw tools::UsageError("TEMPLATE is client, server, email, codesign, smartcard or none, not '" +
                                usage + "'");
    fields.usage = *parsed;
    if (arguments.has("days") && !arguments.has("self-signed"))
        throw tools::UsageError("--days goes with --self-signed");
    fields.days = static_cast<int32_t>(arguments.integer("days", kDefaultDays, 1, kLongestDays));
    return fields;
}

QString buildFailure(int32_t code) {
    return code == QR_ARGUMENTS_BAD ? text("SubjectBad") : failureText(text("RequestFailed"), code);
}

} // namespace

std::string RequestCommand::usage() const {
    return "usage: pellorzu-cli request KEY --container NAME (--exchange | --signature) --subject DN\n"
           "                           [--san LIST] [--template NAME] [--self-signed [--days N]]\n"
           "                           [--keygen ALGORITHM] --out FILE [--der] [--json]\n"
           "                           [--pin-file FILE | --pin-stdin]\n"
           "Logs in with the user PIN and writes a PKCS#10 certificate request for the key pair in the\n"
           "exchange or signature place of container NAME, signed on the key, to FILE (PEM, or DER with\n"
           "--der). The file is written to a temporary name and renamed into place.\n"
           "  --subject DN         "
           "/CN=name/O=organisation/OU=unit/L=city/ST=state/C=country/emailAddress=addr\n"
           "                       (a '/' inside a value is written \\/)\n"
           "  --san LIST           alternative names: DNS:name,email:address,IP:address,URI:uri\n"
           "  --template NAME      key usage and extended key usage: client, server, email, codesign,\n"
           "                       smartcard or none (the default)\n"
           "  --self-signed        a self-signed certificate instead of a request, valid --days N days\n"
           "                       (365 by default); it is written, not stored on the key\n"
           "  --keygen ALGORITHM   first make the key pair: rsa2048, rsa3072, rsa4096, ec-p256 or ec-p384\n"
           "RSA and P-256 keys sign with SHA-256, P-384 keys with SHA-384. With --json: {serial, module,\n"
           "container, spec, file, selfSigned}.\n"
           "Secrets: the user PIN.\n";
}

int RequestCommand::run(Invocation& invocation) {
    invocation.expectAtMost(1);
    const tools::Arguments& arguments = invocation.arguments();
    const token::flows::KeyPlace place = keyPlaceFrom(arguments);
    const token::CertificateRequestFields fields = fieldsFrom(arguments);
    const std::optional<std::string> out = arguments.text("out");
    if (!out || out->empty())
        throw tools::UsageError("--out FILE is needed");
    const std::optional<token::KeyPairKind> generate =
        arguments.has("keygen") ? std::optional(keyKindFrom(*arguments.text("keygen"))) : std::nullopt;
    const bool selfSigned = arguments.has("self-signed");
    const FoundKey& key = invocation.key(0);
    const UserSession session(invocation, key);
    if (generate)
        generateKeyPair(key, place, *generate);
    token::flows::EnrolmentJob job = enrolmentJobAt(key, place);
    job.fields = fields;
    job.selfSigned = selfSigned;
    const token::flows::EnrolmentOutcome outcome = token::flows::runEnrolment(job);
    if (outcome.code != 0)
        throw Failure(kFailed, buildFailure(outcome.code));
    const QString path = QString::fromLocal8Bit(*out);
    const QByteArray bytes = arguments.has("der")
                                 ? QByteArray(reinterpret_cast<const char*>(outcome.document.data()),
                                              static_cast<qsizetype>(outcome.document.size()))
                                 : QByteArray::fromStdString(token::flows::pemText(
                                       outcome.document, selfSigned ? "CERTIFICATE" : "CERTIFICATE REQUEST"));
    if (!platform::writeWholeFile(path, bytes))
        throw Failure(kFileProblem, QStringLiteral("Unable to write to %1").arg(path));
    if (invocation.json()) {
        QJsonObject json = placeJson(key, place);
        json.insert(QStringLiteral("file"), path);
        json.insert(QStringLiteral("selfSigned"), selfSigned);
        invocation.printJson(json);
    } else {
        invocation.print(text(selfSigned ? "SelfSignedWritten" : "RequestWritten").arg(path));
    }
    return kDone;
}

} // namespace cli
