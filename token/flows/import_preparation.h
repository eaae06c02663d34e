// Preparing a certificate import, the decisions the window's import dialog and the command line share: a
// PKCS#12 file must open with its password and hold a key pair (the last one is taken); a new container needs
// a name the key does not use yet; a certificate goes only into an empty place (exchange or signature) of an
// existing container.
#pragma once

#include "certificate_import.h"

#include <cstdint>
#include <string>
#include <vector>

namespace token::flows {

enum class ImportCheck {
    Ready,
    PasswordRefused,         // the PKCS#12 file did not open with the password (or is no PKCS#12 file)
    NoKeyPair,               // the PKCS#12 file holds no key pair
    ContainerNameTaken,      // a new container was asked for under a name the key uses
    PlaceTaken,              // the container holds a certificate of the chosen specification
    ContainerListUnreadable, // the key's containers could not be read
};

struct Pkcs12Check {
    ImportCheck result = ImportCheck::Ready;
    int32_t entries = 0;
};

// Opens the PKCS#12 file at `path` (8-bit) with `password` and counts its key pairs.
Pkcs12Check checkPkcs12File(const std::string& path, const char* password);
// Opens the PKCS#12 file of `job` with `password` and points the job at its last key pair.
ImportCheck preparePkcs12Entry(CertificateImport& job, const char* password);

// Points `job` at a new container `name`, refused when `names` (the key's containers) holds it already.
ImportCheck chooseNewContainer(CertificateImport& job, const std::vector<std::string>& names,
                               const std::string& name);
// Points `job` at the existing container `name`, refused when `placeTaken` (a certificate of job.spec is
// there).
ImportCheck chooseExistingContainer(CertificateImport& job, const std::string& name, bool placeTaken);
// Points `job` at the container `name` as the key has it now (read afresh): an existing one when the key has
// one of that name (refused when its place for job.spec is taken), otherwise a new one. `code` receives the
// read's code when the list cannot be read.
ImportCheck chooseContainerByName(CertificateImport& job, const std::string& name, int32_t& code);

} // namespace token::flows
