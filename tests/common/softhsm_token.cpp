#include "softhsm_token.h"

#include "token/lib/quillard.h"
#include "token/lib/quillard_errors.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>

namespace softhsm {

std::string modulePath() {
    for (const char* candidate :
         {"/usr/lib/softhsm/libsofthsm2.so", "/usr/lib/x86_64-linux-gnu/softhsm/libsofthsm2.so"})
        if (std::filesystem::exists(candidate))
            return candidate;
    return {};
}

bool registeredWithP11Kit() {
    return !modulePath().empty() && std::filesystem::exists("/usr/share/p11-kit/modules/softhsm2.module");
}

std::string quoted(const std::string& text) {
    std::string result = "'";
    for (char c : text)
        result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return result + "'";
}

int run(const std::string& command, std::string* output) {
    FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
    if (!pipe)
        return -1;
    std::array<char, 4096> chunk;
    std::size_t read = 0;
    while ((read = fread(chunk.data(), 1, chunk.size(), pipe)) > 0)
        if (output)
            output->append(chunk.data(), read);
    int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool initToken(const std::string& label, const std::string& soPin, const std::string& userPin) {
    return run("softhsm2-util --init-token --free --label " + quoted(label) + " --so-pin " + quoted(soPin) +
               " --pin " + quoted(userPin)) == 0;
}

bool fillToken(const std::string& label, const std::string& name, int32_t spec, const std::string& pkcs12,
               const std::string& password) {
    if (init_pkcs11(modulePath().c_str()) != QR_OK)
        return false;
    bool filled = false;
    for (int32_t idx = 0, count = findKeys(); idx < count && !filled; ++idx) {
        if (keyFacts(idx).label != label)
            continue;
        int32_t left = 0, entries = 0;
        const std::vector<std::string> names = containers(idx);
        filled = token_login(idx, kUserPin, &left) == QR_OK &&
                 (std::find(names.begin(), names.end(), name) != names.end() ||
                  container_create_new(idx, name.c_str()) == QR_OK) &&
                 (pkcs12.empty() || (pkcs12_file_parse(pkcs12.c_str(), password.c_str(), &entries) == QR_OK &&
                                     pkcs12_import_certificate(idx, name.c_str(), spec, 0) == QR_OK));
    }
    uninit_pkcs11();
    return filled;
}

int32_t findKeys() {
    int32_t list[32] = {};
    int32_t count = 32;
    if (token_find(list, &count) != QR_OK)
        return -1;
    return count;
}

KeyFacts keyFacts(int32_t idx) {
    KeyFacts facts;
    char serial[33] = {}, label[129] = {}, manufacturer[65] = {}, model[65] = {};
    int32_t* v = facts.values;
    if (token_get_info(idx, serial, label, manufacturer, model, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5],
                       &v[6], &v[7], &v[8]) == QR_OK) {
        facts.serial = serial;
        facts.label = label;
        facts.manufacturer = manufacturer;
        facts.model = model;
    }
    return facts;
}

std::vector<std::string> containers(int32_t idx) {
    std::vector<char> buffer(1 << 16);
    int32_t length = static_cast<int32_t>(buffer.size());
    std::vector<std::string> names;
    if (container_load_all(idx, buffer.data(), &length) != QR_OK)
        return names;
    for (int32_t start = 0; start < length;) {
        std::string name(buffer.data() + start);
        start += static_cast<int32_t>(name.size()) + 1;
        names.push_back(name);
    }
    return names;
}

std::vector<uint8_t> certificate(int32_t idx, const std::string& name, int32_t spec) {
    std::vector<uint8_t> der(8192);
    int32_t length = static_cast<int32_t>(der.size());
    if (container_get_cert(idx, name.c_str(), spec, der.data(), &length) != QR_OK)
        return {};
    der.resize(static_cast<std::size_t>(length));
    return der;
}

} // namespace softhsm
