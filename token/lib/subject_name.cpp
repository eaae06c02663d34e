#include "subject_name.h"

#include <openssl/err.h>
#include <openssl/objects.h>

namespace quillard {

namespace {

// Splits `oneLine` (after its leading '/') at the slashes no backslash escapes, unescaping as it goes.
// False for a text that ends inside an escape.
bool splitEntries(const std::string& oneLine, std::vector<std::string>& parts) {
    std::string current;
    for (std::size_t i = 1; i < oneLine.size(); ++i) {
        const char c = oneLine[i];
        if (c == '\\') {
            if (++i == oneLine.size())
                return false;
            current += oneLine[i];
        } else if (c == '/') {
            parts.push_back(std::move(current));
            current.clear();
        } else {
            current += c;
        }
    }
    parts.push_back(std::move(current));
    return true;
}

} // namespace

std::vector<std::pair<std::string, std::string>> subjectEntries(const std::string& oneLine) {
    std::vector<std::string> parts;
    if (oneLine.size() < 2 || oneLine[0] != '/' || !splitEntries(oneLine, parts))
        return {};
    std::vector<std::pair<std::string, std::string>> entries;
    for (const std::string& part : parts) {
        const std::size_t equals = part.find('=');
        if (equals == std::string::npos || equals == 0 || equals + 1 == part.size())
            return {};
        entries.emplace_back(part.substr(0, equals), part.substr(equals + 1));
    }
    return entries;
}

X509NamePtr subjectName(const std::string& oneLine) {
    const auto entries = subjectEntries(oneLine);
    X509NamePtr name(X509_NAME_new());
    if (entries.empty() || !name)
        return nullptr;
    for (const auto& [attribute, value] : entries) {
        if (OBJ_txt2nid(attribute.c_str()) == NID_undef ||
            X509_NAME_add_entry_by_txt(name.get(), attribute.c_str(), MBSTRING_UTF8,
                                       reinterpret_cast<const unsigned char*>(value.data()),
                                       static_cast<int>(value.size()), -1, 0) != 1) {
            ERR_clear_error();
            return nullptr;
        }
    }
    return name;
}

} // namespace quillard
