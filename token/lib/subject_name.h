// The one-line form of a distinguished name, "/CN=Alice/O=Example/C=DE", as requests and self-signed
// certificates take it: attributes in the order written, values UTF-8, a '/' or '\' inside a value escaped
// with a backslash.
#pragma once

#include "openssl_handles.h"

#include <openssl/x509.h>

#include <string>
#include <utility>
#include <vector>

namespace quillard {

using X509NamePtr = OpenSslPtr<X509_NAME, X509_NAME_free>;

// The (attribute, value) pairs of a one-line DN; empty when the text does not start with '/', holds an
// entry without '=' or an empty attribute or value, or ends inside an escape.
std::vector<std::pair<std::string, std::string>> subjectEntries(const std::string& oneLine);

// The name of a one-line DN; null when it does not parse as above, names an attribute OpenSSL does not know,
// or a value does not fit its attribute (a country of other than two letters).
X509NamePtr subjectName(const std::string& oneLine);

} // namespace quillard
