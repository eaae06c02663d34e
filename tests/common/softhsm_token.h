// SoftHSM2 tokens in a test's private world (TempWorld points SOFTHSM2_CONF at its own token folder), made
// and read with SoftHSM2's and OpenSC's own tools, and the C API calls the PKCS#11 tests share.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace softhsm {

constexpr const char* kUserPin = "12345678";
constexpr const char* kSoPin = "87654321";

// The SoftHSM2 module file of this machine; empty when SoftHSM2 is not installed.
std::string modulePath();
// True when SoftHSM2 is installed and registered with p11-kit, so the window's module name finds it.
bool registeredWithP11Kit();
// Initialises SoftHSM2's free slot as a token labelled `label`; false when softhsm2-util fails.
bool initToken(const std::string& label, const std::string& soPin = kSoPin,
               const std::string& userPin = kUserPin);
// Runs `command` through the shell; its exit status, with its standard output in `output` when given.
int run(const std::string& command, std::string* output = nullptr);
// `text` quoted for the shell.
std::string quoted(const std::string& text);

// Puts the first entry of the PKCS#12 file `pkcs12` (opened with `password`; none: only the container) under
// `spec` into container `name` of the token labelled `label`, through the library started on SoftHSM2's
// module alone and shut down again. False when a step fails.
bool fillToken(const std::string& label, const std::string& name, int32_t spec,
               const std::string& pkcs12 = {}, const std::string& password = {});

// The C API's keys: the count token_find reports.
int32_t findKeys();
// The serial of key `idx`, its label and its initialised flag.
struct KeyFacts {
    std::string serial, label, manufacturer, model;
    int32_t values[9] = {};
};
KeyFacts keyFacts(int32_t idx);
// The container names of key `idx`.
std::vector<std::string> containers(int32_t idx);
// The DER certificate of pair `spec` of container `name`; empty when the call fails.
std::vector<uint8_t> certificate(int32_t idx, const std::string& name, int32_t spec);

} // namespace softhsm
