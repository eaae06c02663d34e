#include "demo_content.h"

#include "token/lib/paths.h"
#include "token/lib/quillard_errors.h"
#include "token/lib/softkey/softkey_driver.h"
#include "tools/demo_credentials.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace vkey {

namespace {

using quillard::demo::KeyType;

struct DemoContainer {
    const char* name;
    KeyType type;
    const char* algorithmText;
};

constexpr DemoContainer kContainers[] = {{"PellorZu-Demo-RSA2048", KeyType::Rsa2048, "RSA 2048"},
                                         {"PellorZu-Demo-ECP256", KeyType::EcP256, "EC P-256"}};

quillard::Result findKey(quillard::SoftkeyDriver& driver, const std::string& serial, int32_t& idx) {
    std::vector<std::string> serials;
    quillard::Result result = driver.find(serials);
    if (result != QR_OK)
        return result;
    auto found = std::find(serials.begin(), serials.end(), serial);
    if (found == serials.end())
        return QR_TOKEN_NOT_PRESENT;
    idx = static_cast<int32_t>(found - serials.begin());
    return QR_OK;
}

std::string loginFailure(quillard::Result result, int32_t retriesLeft) {
    if (result == QR_PIN_INCORRECT)
        return "the user PIN is wrong; " + std::to_string(retriesLeft) + " tries left";
    if (result == QR_PIN_LOCKED)
        return "the user PIN is locked";
    if (result == QR_USER_PIN_NOT_INITIALIZED)
        return "the key is blank; initialise it first";
    return "cannot log in";
}

quillard::Result fillContainer(quillard::SoftkeyDriver& driver, int32_t idx, const std::string& serial,
                               const DemoContainer& container, std::string& detail) {
    quillard::Result result = driver.createContainer(idx, container.name);
    if (result != QR_OK && result != QR_CONTAINER_EXISTS) {
        detail = std::string("cannot create the container ") + container.name;
        return result;
    }
    for (int32_t spec : {1, 2}) {
        std::string commonName = std::string("PellorZu Demo ") + container.algorithmText +
                                 (spec == 1 ? " Exchange " : " Signature ") + serial;
        result = driver.importCredential(
            idx, container.name, spec, quillard::demo::makeSelfSignedCredential(container.type, commonName));
        if (result != QR_OK) {
            detail = "cannot store " + commonName;
            return result;
        }
    }
    return QR_OK;
}

} // namespace

quillard::Result DemoContent::fill(const std::string& serial, const quillard::SecureString& userPin,
                                   std::string& detail) {
    quillard::SoftkeyDriver driver(quillard::keysFolder());
    int32_t idx = 0;
    quillard::Result result = findKey(driver, serial, idx);
    if (result != QR_OK) {
        detail = "the key " + serial + " is not plugged in";
        return result;
    }
    int32_t retriesLeft = 0;
    result = driver.login(idx, quillard::PinKind::User, userPin, retriesLeft);
    if (result != QR_OK) {
        detail = loginFailure(result, retriesLeft);
        return result;
    }
    try {
        for (const DemoContainer& container : kContainers)
            if ((result = fillContainer(driver, idx, serial, container, detail)) != QR_OK)
                break;
    } catch (const std::runtime_error& error) {
        detail = error.what();
        result = QR_GENERAL_ERROR;
    }
    driver.logout(idx);
    return result;
}

} // namespace vkey
