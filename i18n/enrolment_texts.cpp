#include "enrolment_texts.h"

#include "token/lib/quillard_errors.h"

namespace i18n {

RuleText enrolmentFailure(const token::flows::EnrolmentOutcome& outcome) {
    using token::flows::EnrolmentStage;
    if (outcome.stage == EnrolmentStage::Build && outcome.code == QR_ARGUMENTS_BAD)
        return {"Enrol_SubjectBad", false};
    if (outcome.stage == EnrolmentStage::Generate && outcome.code == QR_CONTAINER_EXISTS)
        return {"Enrol_PlaceTaken", false};
    if (outcome.stage == EnrolmentStage::Generate && outcome.code == QR_FUNCTION_NOT_SUPPORTED)
        return {"Enrol_NoAlgorithms", false};
    return {"Enrol_Failed", true};
}

RuleText installFailure(const token::flows::InstallOutcome& outcome) {
    using token::flows::InstallProblem;
    if (outcome.problem == InstallProblem::CertificateUnreadable)
        return {"Cert_NotACertificate", false};
    if (outcome.problem == InstallProblem::Library && outcome.code == QR_NO_MATCHING_KEY)
        return {"Cert_NoMatchingKey", false};
    return {"Cert_InstallFailed", outcome.problem == InstallProblem::Library};
}

} // namespace i18n
