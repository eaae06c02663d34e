// Certificates and certificate files that must be refused: versions X.509 does not define, and PEM blocks
// that are encrypted (reading them must never ask for a pass phrase on the terminal).
#include "test_certificate_builder.h"
#include "tests/common/temp_world.h"
#include "token/lib/cert_info.h"
#include "token/lib/credential_parser.h"
#include "token/lib/quillard_errors.h"
#include "tools/demo_credentials.h"

#include <gtest/gtest.h>
#include <openssl/pkcs12.h>
#include <openssl/x509.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quillard;

namespace {

void writeBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string asText(const std::vector<uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// A PEM CERTIFICATE block around `der` with the headers of an encrypted block.
std::string encryptedPemBlock(const std::vector<uint8_t>& der) {
    std::string base64(4 * ((der.size() + 2) / 3) + 1, '\0');
    int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(base64.data()), der.data(),
                                 static_cast<int>(der.size()));
    base64.resize(static_cast<std::size_t>(length));
    std::string text = "-----BEGIN CERTIFICATE-----\nProc-Type: 4,ENCRYPTED\n"
                       "DEK-Info: AES-128-CBC,00112233445566778899AABBCCDDEEFF\n\n";
    for (std::size_t i = 0; i < base64.size(); i += 64)
        text += base64.substr(i, 64) + "\n";
    return text + "-----END CERTIFICATE-----\n";
}

struct TerminalRun {
    bool finished = false;
    int exitCode = -1;
    std::string terminalOutput;
};

// Runs parseCertificateFile(path) in a child whose controlling terminal is a pseudo terminal, the way a user
// starts the tool from a shell, and collects what the child writes there. A child that waits for typing is
// killed after a few seconds.
TerminalRun parseOnATerminal(const std::filesystem::path& path) {
    TerminalRun run;
    int terminal = -1;
    pid_t child = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    if (child == 0) {
        Credential credential;
        ::_exit(parseCertificateFile(path.string(), credential) == QR_FILE_UNUSABLE ? 0 : 1);
    }
    if (child < 0)
        return run;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    int status = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd waiting{terminal, POLLIN, 0};
        char buffer[256];
        if (::poll(&waiting, 1, 50) > 0 && (waiting.revents & POLLIN)) {
            ssize_t got = ::read(terminal, buffer, sizeof buffer);
            if (got > 0)
                run.terminalOutput.append(buffer, static_cast<std::size_t>(got));
        }
        if (::waitpid(child, &status, WNOHANG) == child) {
            run.finished = true;
            run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            break;
        }
    }
    if (!run.finished) {
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
    }
    ::close(terminal);
    return run;
}

} // namespace

TEST(CertificateVersion, OnlyVersionsOneToThreeAreUsable) {
    TempWorld world;
    Credential ec = demo::makeSelfSignedCredential(demo::KeyType::EcP256, "Version holder");
    TestCertificateBuilder builder;
    for (long zeroBased : {0L, 1L, 2L}) {
        builder.version(zeroBased);
        std::vector<uint8_t> der = builder.der();
        CertInfo info;
        ASSERT_EQ(readCertInfo(der.data(), der.size(), info), QR_OK);
        EXPECT_EQ(info.version, zeroBased + 1);
    }
    for (long zeroBased : {3L, 21L, -1L}) {
        builder.version(zeroBased);
        std::vector<uint8_t> der = builder.der();
        CertInfo info;
        info.version = 99;
        EXPECT_EQ(readCertInfo(der.data(), der.size(), info), QR_FILE_UNUSABLE) << zeroBased;
        EXPECT_EQ(info.version, 99) << "a refused certificate leaves the record alone";

        std::filesystem::path file = world.root() / "odd.cer";
        writeBytes(file, asText(der));
        Credential credential;
        EXPECT_EQ(parseCertificateFile(file.string(), credential), QR_FILE_UNUSABLE) << zeroBased;
    }

    // A PKCS#12 file whose certificate claims version 22 is refused as well.
    builder.version(21);
    std::vector<uint8_t> der = builder.der();
    const unsigned char* cursor = der.data();
    X509* certificate = d2i_X509(nullptr, &cursor, static_cast<long>(der.size()));
    ASSERT_NE(certificate, nullptr);
    PKCS12* p12 = PKCS12_create("pw", nullptr, builder.key(), certificate, nullptr, 0, 0, 1000, 1000, 0);
    X509_free(certificate);
    ASSERT_NE(p12, nullptr);
    unsigned char* p12Der = nullptr;
    int p12Length = i2d_PKCS12(p12, &p12Der);
    PKCS12_free(p12);
    std::filesystem::path file = world.root() / "odd.pfx";
    writeBytes(file, std::string(reinterpret_cast<char*>(p12Der), static_cast<std::size_t>(p12Length)));
    OPENSSL_free(p12Der);
    std::vector<Credential> entries;
    EXPECT_EQ(parsePkcs12File(file.string(), "pw", entries), QR_FILE_UNUSABLE);
}

TEST(EncryptedPem, IsRefusedWithoutAskingOnTheTerminal) {
    TempWorld world;
    std::filesystem::path file = world.root() / "encrypted.pem";
    writeBytes(file, encryptedPemBlock(TestCertificateBuilder().der()));
    TerminalRun run = parseOnATerminal(file);
    EXPECT_TRUE(run.finished) << "the parse waited for typing";
    EXPECT_EQ(run.exitCode, 0) << "the file was not refused as unusable";
    EXPECT_EQ(run.terminalOutput, "") << "something asked on the terminal";
}
