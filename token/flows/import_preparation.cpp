#include "import_preparation.h"

#include "certificate_list.h"
#include "token/token_ops.h"

#include <algorithm>

namespace token::flows {

Pkcs12Check checkPkcs12File(const std::string& path, const char* password) {
    Pkcs12Check check;
    if (pkcs12_file_parse(path, password, check.entries) != 0)
        check.result = ImportCheck::PasswordRefused;
    else if (check.entries == 0)
        check.result = ImportCheck::NoKeyPair;
    return check;
}

ImportCheck preparePkcs12Entry(CertificateImport& job, const char* password) {
    const Pkcs12Check check = checkPkcs12File(job.path, password);
    if (check.result == ImportCheck::Ready)
        job.entry = check.entries - 1;
    return check.result;
}

ImportCheck chooseNewContainer(CertificateImport& job, const std::vector<std::string>& names,
                               const std::string& name) {
    if (std::find(names.begin(), names.end(), name) != names.end())
        return ImportCheck::ContainerNameTaken;
    job.container = name;
    job.createContainer = true;
    return ImportCheck::Ready;
}

ImportCheck chooseExistingContainer(CertificateImport& job, const std::string& name, bool placeTaken) {
    if (placeTaken)
        return ImportCheck::PlaceTaken;
    job.container = name;
    job.createContainer = false;
    return ImportCheck::Ready;
}

ImportCheck chooseContainerByName(CertificateImport& job, const std::string& name, int32_t& code) {
    const CertificateList list = readCertificateList(job.key);
    code = list.code;
    if (list.code != 0)
        return ImportCheck::ContainerListUnreadable;
    const auto found = std::find_if(list.containers.begin(), list.containers.end(),
                                    [&](const ContainerEntry& entry) { return entry.name == name; });
    if (found == list.containers.end()) {
        job.container = name;
        job.createContainer = true;
        return ImportCheck::Ready;
    }
    const bool taken = std::any_of(found->certificates.begin(), found->certificates.end(),
                                   [&](const ContainerCertificate& c) { return c.spec == job.spec; });
    return chooseExistingContainer(job, name, taken);
}

} // namespace token::flows
