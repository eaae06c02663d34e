#include "certificate_file_import.h"

#include "cli_texts.h"
#include "failure.h"
#include "token/cert_presence.h"
#include "token/flows/certificate_import.h"
#include "token/flows/certificate_list.h"
#include "token/flows/store_registration.h"
#include "token/lib/quillard_errors.h"
#include "token/token_ops.h"
#include "user_session.h"

#include <QFile>
#include <QFileInfo>
#include <QUuid>
#include <algorithm>

namespace cli {

namespace {

void parsePkcs12(token::flows::CertificateImport& job, const platform::SecretBytes& password) {
    int32_t entries = 0;
    if (token::pkcs12_file_parse(job.path, password.c_str(), entries) != 0)
        throw Failure(kFailed, windowText("I_CertPINError"));
    if (entries == 0)
        throw Failure(kFailed, windowText("I_CertFileError"));
    job.entry = entries - 1;
}

// Points the job at its container: an existing one (refusing a specification that is taken) or a new one.
void chooseContainer(token::flows::CertificateImport& job, const std::optional<std::string>& wanted) {
    const token::flows::CertificateList list = token::flows::readCertificateList(job.key);
    if (list.code != 0)
        throw Failure(kFailed, failureText(windowText("K_GetKeyCert_Error"), list.code));
    job.container = wanted.value_or(QUuid::createUuid().toString(QUuid::WithBraces).toUpper().toStdString());
    const auto found =
        std::find_if(list.containers.begin(), list.containers.end(),
                     [&](const token::flows::ContainerEntry& entry) { return entry.name == job.container; });
    job.createContainer = found == list.containers.end();
    if (job.createContainer)
        return;
    const bool taken =
        std::any_of(found->certificates.begin(), found->certificates.end(),
                    [&](const token::flows::ContainerCertificate& c) { return c.spec == job.spec; });
    if (taken)
        throw Failure(kFailed,
                      windowText(job.spec == token::kExchangeSpec ? "K_spec_mode1" : "K_spec_mode2"));
}

QString importFailureText(int32_t result) {
    if (result == QR_OUT_OF_SPACE)
        return windowText("K_OutSpace_Error") + QStringLiteral(" (") + codeText(result) + QLatin1Char(')');
    return failureText(windowText("K_Import_Error"), result);
}

} // namespace

bool isPkcs12Path(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QStringLiteral("p12") || suffix == QStringLiteral("pfx");
}

std::string importCertificateFile(const FoundKey& key, const ImportRequest& request,
                                  const std::function<platform::SecretBytes()>& password) {
    if (!QFileInfo(request.path).isFile())
        throw Failure(kFileProblem, windowText("I_SelectCert") + QStringLiteral(" ") + request.path);
    token::flows::CertificateImport job;
    job.kind = isPkcs12Path(request.path) ? token::flows::ImportKind::Pkcs12 : token::flows::ImportKind::X509;
    job.key = key.slot;
    job.spec = request.spec;
    job.path = QFile::encodeName(request.path).toStdString();
    if (job.kind == token::flows::ImportKind::Pkcs12)
        parsePkcs12(job, password());
    chooseContainer(job, request.container);
    const int32_t result = token::flows::importCertificate(job, [](int32_t, int32_t) {});
    if (result != 0) {
        token::token_reload_all_objects(key.slot);
        throw Failure(kFailed, importFailureText(result));
    }
    token::flows::registerKeyCertificates(key.slot, providerName());
    return job.container;
}

} // namespace cli
