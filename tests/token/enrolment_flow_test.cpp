// The enrolment flows over a scripted library: the names of kinds and templates, subjects built from fields,
// PEM text, what a place holds, and where a run stops.
#include "tests/common/scripted_quillard.h"
#include "token/flows/key_enrolment.h"
#include "token/lib/quillard_errors.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace token::flows;

TEST(EnrolmentNamesTest, KindsAndTemplatesReadAsTheCommandLineWritesThem) {
    for (const char* name : {"rsa2048", "rsa3072", "rsa4096", "ec-p256", "ec-p384"})
        EXPECT_EQ(keyKindName(*parseKeyKind(name)), name);
    EXPECT_EQ(keyKindCaption({3, 384}), "EC P-384");
    EXPECT_FALSE(parseKeyKind("rsa1024"));
    EXPECT_EQ(parseUsageTemplate("smartcard"), QUILLARD_USAGE_SMART_CARD);
    EXPECT_EQ(parseUsageTemplate("none"), QUILLARD_USAGE_NONE);
    EXPECT_FALSE(parseUsageTemplate("Client"));
}

TEST(EnrolmentNamesTest, SubjectsSkipEmptyFieldsAndEscapeSlashes) {
    EXPECT_EQ(oneLineSubject({{"CN", "A/B\\C"}, {"O", ""}, {"C", "DE"}}), "/CN=A\\/B\\\\C/C=DE");
    EXPECT_EQ(oneLineSubject({{"CN", ""}}), "");
}

TEST(EnrolmentNamesTest, PemTextWrapsBase64At64Characters) {
    const std::vector<uint8_t> bytes(49, 0xFF); // 49 bytes: 68 characters, the last group padded
    const std::string pem = pemText(bytes, "CERTIFICATE REQUEST");
    EXPECT_EQ(pem, "-----BEGIN CERTIFICATE REQUEST-----\n" + std::string(64, '/') +
                       "\n/w==\n"
                       "-----END CERTIFICATE REQUEST-----\n");
    EXPECT_EQ(pemText({'M', 'a'}, "X"), "-----BEGIN X-----\nTWE=\n-----END X-----\n");
}

TEST(EnrolmentFlowTest, APlaceIsFreeTakenOrHoldsAPairAlone) {
    ScriptedQuillard library;
    library.container_get_cert = [](int32_t, const char* name, int32_t spec, uint8_t*, int32_t*) {
        if (std::strcmp(name, "none") == 0)
            return int32_t(QR_CONTAINER_NOT_FOUND);
        return int32_t(spec == 1 && std::strcmp(name, "certified") == 0 ? QR_OK : QR_OBJECT_HANDLE_INVALID);
    };
    library.container_get_pubkey = [](int32_t, const char* name, int32_t, int32_t*, int32_t*, uint8_t*,
                                      int32_t*) {
        return int32_t(std::strcmp(name, "paired") == 0 ? QR_OK : QR_OBJECT_HANDLE_INVALID);
    };
    library.container_get_prikey = [](int32_t, const char*, int32_t, int32_t*, int32_t*) {
        return int32_t(QR_OBJECT_HANDLE_INVALID);
    };
    EXPECT_EQ(placeUse(0, "none", 1), PlaceUse::Free);
    EXPECT_EQ(placeUse(0, "certified", 1), PlaceUse::Taken);
    EXPECT_EQ(placeUse(0, "certified", 2), PlaceUse::Free);
    EXPECT_EQ(placeUse(0, "paired", 2), PlaceUse::KeyPairOnly);
}

TEST(EnrolmentFlowTest, ARunStopsAtTheStageThatFailedAndInstallsASelfSignedCertificate) {
    ScriptedQuillard library;
    int32_t generateResult = QR_OK;
    library.container_generate_keypair = [&](int32_t, const char*, int32_t, int32_t, int32_t) {
        return generateResult;
    };
    library.container_build_self_signed = [](int32_t, const char*, int32_t, const TCertRequest* request,
                                             uint8_t* der, int32_t* length) {
        if (std::strcmp(request->subject, "/CN=bad") == 0)
            return int32_t(QR_ARGUMENTS_BAD);
        der[0] = 0x30;
        *length = 1;
        return int32_t(QR_OK);
    };
    EnrolmentJob job;
    job.slot = 0;
    job.container = "c";
    job.generate = token::KeyPairKind{3, 256};
    job.selfSigned = job.installSelfSigned = true;
    job.fields.subject = "/CN=good";
    EnrolmentOutcome outcome = runEnrolment(job);
    EXPECT_EQ(outcome.stage, EnrolmentStage::Done);
    EXPECT_EQ(outcome.document, std::vector<uint8_t>{0x30});
    EXPECT_EQ(library.count("container_install_cert"), 1);

    job.fields.subject = "/CN=bad";
    outcome = runEnrolment(job);
    EXPECT_EQ(outcome.stage, EnrolmentStage::Build);
    EXPECT_EQ(outcome.code, QR_ARGUMENTS_BAD);
    generateResult = QR_CONTAINER_EXISTS;
    outcome = runEnrolment(job);
    EXPECT_EQ(outcome.stage, EnrolmentStage::Generate);
    EXPECT_EQ(library.count("container_build_self_signed"), 2) << "no document after a failed generation";
}
