// Puts what a caller creates or generates through the module into a key's containers: a certificate goes
// beside the key pair it belongs to (or into the container its CKA_LABEL names), a private key given by its
// components goes into the container of its CKA_LABEL, as does a generated key pair. The key specification
// follows the key's use: exchange (1) for a key that may decrypt, unwrap or derive, signature (2) otherwise.
#pragma once

#include "module_context.h"
#include "template_reader.h"

#include <string>

namespace quillard::module {

class KeyImport {
public:
    KeyImport(ModuleContext& context, const Session& session) : context_(context), session_(session) {}

    // Each returns the handle of the new object (for a key pair, of its private key; publicHandle receives
    // the public key's). Template faults throw ModuleError with CKR_TEMPLATE_INCOMPLETE,
    // CKR_ATTRIBUTE_VALUE_INVALID or CKR_TEMPLATE_INCONSISTENT.
    CK_OBJECT_HANDLE certificate(const TemplateReader& attributes);
    CK_OBJECT_HANDLE privateKey(const TemplateReader& attributes);
    CK_OBJECT_HANDLE generate(CK_MECHANISM_TYPE mechanism, const TemplateReader& publicAttributes,
                              const TemplateReader& privateAttributes, CK_OBJECT_HANDLE& publicHandle);

private:
    struct Place {
        std::string container;
        int32_t spec = 0;
    };

    // The container and specification holding the public key `spki`, if any.
    std::optional<Place> placeOfKey(const std::vector<uint8_t>& spki);
    // CKA_LABEL of the template, or a fresh name when it has none.
    static std::string containerName(const TemplateReader& attributes,
                                     const TemplateReader* second = nullptr);
    CK_OBJECT_HANDLE handleOf(const Place& place, softkey::ObjectKind kind);

    ModuleContext& context_;
    const Session& session_;
};

} // namespace quillard::module
