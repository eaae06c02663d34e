#include "usage_extensions.h"

#include <openssl/err.h>

namespace quillard {

namespace {

struct UsageTexts {
    const char* keyUsage; // for an RSA key; EC keys agree on keys instead of enciphering them
    const char* extendedKeyUsage;
};

UsageTexts usageTexts(int32_t usage) {
    switch (usage) {
    case QUILLARD_USAGE_CLIENT:
        return {"digitalSignature,keyEncipherment", "clientAuth"};
    case QUILLARD_USAGE_SERVER:
        return {"digitalSignature,keyEncipherment", "serverAuth"};
    case QUILLARD_USAGE_EMAIL:
        return {"digitalSignature,nonRepudiation,keyEncipherment", "emailProtection"};
    case QUILLARD_USAGE_CODE_SIGNING:
        return {"digitalSignature", "codeSigning"};
    case QUILLARD_USAGE_SMART_CARD:
        return {"digitalSignature,keyEncipherment", "clientAuth,msSmartcardLogin"};
    default:
        return {nullptr, nullptr};
    }
}

std::string keyUsageText(const char* rsaUsage, int32_t algorithm, bool selfSigned) {
    std::string text = rsaUsage ? rsaUsage : "digitalSignature";
    if (algorithm == AlgorithmEcc) {
        if (const std::size_t at = text.find("keyEncipherment"); at != std::string::npos)
            text.replace(at, std::string("keyEncipherment").size(), "keyAgreement");
    }
    if (selfSigned)
        text += ",keyCertSign";
    return "critical," + text;
}

bool add(STACK_OF(X509_EXTENSION) * stack, X509V3_CTX* context, int nid, const std::string& value) {
    X509_EXTENSION* extension = X509V3_EXT_nconf_nid(nullptr, context, nid, value.c_str());
    if (!extension)
        return false;
    if (sk_X509_EXTENSION_push(stack, extension) <= 0) {
        X509_EXTENSION_free(extension);
        return false;
    }
    return true;
}

} // namespace

bool knownUsageTemplate(int32_t usage) {
    return usage >= QUILLARD_USAGE_NONE && usage <= QUILLARD_USAGE_SMART_CARD;
}

ExtensionStackPtr usageExtensions(const std::string& altNames, int32_t usage, int32_t algorithm,
                                  bool selfSigned, X509V3_CTX* context) {
    ExtensionStackPtr stack(sk_X509_EXTENSION_new_null());
    if (!stack || !knownUsageTemplate(usage))
        return nullptr;
    bool complete = altNames.empty() || add(stack.get(), context, NID_subject_alt_name, altNames);
    const UsageTexts texts = usageTexts(usage);
    if (complete && (texts.keyUsage || selfSigned))
        complete =
            add(stack.get(), context, NID_key_usage, keyUsageText(texts.keyUsage, algorithm, selfSigned));
    if (complete && texts.extendedKeyUsage)
        complete = add(stack.get(), context, NID_ext_key_usage, texts.extendedKeyUsage);
    if (complete && selfSigned)
        complete = add(stack.get(), context, NID_subject_key_identifier, "hash");
    ERR_clear_error();
    return complete ? std::move(stack) : nullptr;
}

} // namespace quillard
