#include "certificate_file_import.h"

#include "cli_texts.h"
#include "failure.h"
#include "i18n/health_texts.h"
#include "i18n/outcome_texts.h"
#include "token/flows/certificate_import.h"
#include "token/flows/import_preparation.h"
#include "token/flows/import_validity.h"
#include "token/flows/store_registration.h"
#include "token/lib/quillard_errors.h"
#include "token/token_ops.h"
#include "user_session.h"

#include <QFile>
#include <QFileInfo>
#include <QUuid>

namespace cli {

namespace {

// A refusal of the import's preparation as a Failure.
void require(token::flows::ImportCheck check, const token::flows::CertificateImport& job, int32_t code = 0) {
    if (check == token::flows::ImportCheck::Ready)
        return;
    const QString message = i18n::importCheckText(check, job.spec, cliStyle());
    throw Failure(kFailed, check == token::flows::ImportCheck::ContainerListUnreadable
                               ? failureText(message, code)
                               : message);
}

// Refuses a certificate outside its validity, saying its dates. One whose dates cannot be read is left to
// the import, which refuses what it cannot parse.
void requireWithinValidity(const token::flows::CertificateImport& job) {
    const auto health = token::flows::importedCertificateHealth(job, token::flows::secondsNow());
    if (health && token::flows::outsideValidity(*health))
        throw Failure(kFailed, i18n::outsideValidityText(*health, cliStyle()) + cliStyle().joint +
                                   text("AllowExpiredHint"));
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
        require(token::flows::preparePkcs12Entry(job, password().c_str()), job);
    if (request.refuseOutsideValidity)
        requireWithinValidity(job);
    const std::string container =
        request.container.value_or(QUuid::createUuid().toString(QUuid::WithBraces).toUpper().toStdString());
    int32_t code = 0;
    require(token::flows::chooseContainerByName(job, container, code), job, code);
    const int32_t result = token::flows::importCertificate(job, [](int32_t, int32_t) {});
    if (result != 0) {
        token::token_reload_all_objects(key.slot);
        throw Failure(kFailed, importFailureText(result));
    }
    token::flows::registerKeyCertificates(key.slot, providerName());
    return job.container;
}

} // namespace cli
