// The message rules of enrolment: which string-table text tells why making a key pair, a request or a
// self-signed certificate stopped, or why an issued certificate was not installed.
#pragma once

#include "token/flows/issued_certificate.h"
#include "token/flows/key_enrolment.h"

namespace i18n {

// A text of the string table, and whether the library's code goes after it.
struct RuleText {
    const char* key;
    bool withCode;
};

// Enrol_SubjectBad for a subject or alternative names that do not parse, Enrol_PlaceTaken when the place
// holds a pair or certificate, Enrol_NoAlgorithms for a kind the key does not make, Enrol_Failed with the
// code otherwise.
RuleText enrolmentFailure(const token::flows::EnrolmentOutcome& outcome);
// Cert_NotACertificate for a file without a certificate, Cert_NoMatchingKey when no pair on the key matches,
// Cert_InstallFailed with the code otherwise (a chain that does not verify included).
RuleText installFailure(const token::flows::InstallOutcome& outcome);

} // namespace i18n
