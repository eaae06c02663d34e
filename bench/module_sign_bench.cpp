// Signatures per second through a PKCS#11 module beside OpenSSL itself: build/bin/module_sign_bench MODULE
// TOKEN-LABEL PIN [SECONDS] loads the module as any program does, logs in to the token once and signs 32
// bytes again and again, each signature a C_SignInit and a C_Sign, with the token's first RSA 2048 key
// (SHA256-RSA-PKCS) and its first EC P-256 key (ECDSA over the 32 bytes taken as a SHA-256 digest, as TLS
// libraries sign; not every module offers ECDSA-SHA256), for SECONDS seconds each (2 by default).
//
// OpenSSL's own rate is measured in the same process with a key of the same kind made here, through the EVP
// API with one signing context kept (as `openssl speed` does): the SHA-256 digest of the 32 bytes signed with
// PKCS#1 v1.5 padding, and the 32 bytes signed with ECDSA. The two take turns in bursts of a fiftieth of the
// time, so that the machine's speed, which on a shared virtual machine moves from second to second, is the
// same for both; `openssl speed` itself counts processor time rather than time passed and runs at another
// moment, which made shares of its figures move by a third from run to run. Prints one line per key type:
// the module's rate, OpenSSL's and the module's share of it.
#include <openssl/evp.h>
#include <openssl/rsa.h>
#include <p11-kit/pkcs11.h>

#include <dlfcn.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

[[noreturn]] void fail(const std::string& what, CK_RV rv = CKR_OK) {
    std::fprintf(stderr, "module_sign_bench: %s (0x%lx)\n", what.c_str(), rv);
    std::exit(1);
}

void check(CK_RV rv, const char* what) {
    if (rv != CKR_OK)
        fail(what, rv);
}

CK_SLOT_ID slotLabelled(CK_FUNCTION_LIST* p11, const std::string& label) {
    CK_ULONG count = 0;
    check(p11->C_GetSlotList(CK_TRUE, nullptr, &count), "C_GetSlotList");
    std::vector<CK_SLOT_ID> slots(count);
    check(p11->C_GetSlotList(CK_TRUE, slots.data(), &count), "C_GetSlotList");
    for (CK_SLOT_ID slot : slots) {
        CK_TOKEN_INFO info{};
        if (p11->C_GetTokenInfo(slot, &info) != CKR_OK)
            continue;
        std::string text(reinterpret_cast<char*>(info.label), sizeof info.label);
        text.erase(text.find_last_not_of(' ') + 1);
        if (text == label)
            return slot;
    }
    fail("no token labelled " + label);
}

// The first private key of `keyType` whose size (modulus bits, or the EC parameters' length) fits.
CK_OBJECT_HANDLE findKey(CK_FUNCTION_LIST* p11, CK_SESSION_HANDLE session, CK_KEY_TYPE keyType) {
    CK_OBJECT_CLASS privateClass = CKO_PRIVATE_KEY;
    CK_ATTRIBUTE search[] = {{CKA_CLASS, &privateClass, sizeof privateClass},
                             {CKA_KEY_TYPE, &keyType, sizeof keyType}};
    check(p11->C_FindObjectsInit(session, search, 2), "C_FindObjectsInit");
    CK_OBJECT_HANDLE found[64];
    CK_ULONG count = 0;
    check(p11->C_FindObjects(session, found, 64, &count), "C_FindObjects");
    p11->C_FindObjectsFinal(session);
    const CK_BYTE p256[] = {0x06, 0x08, 0x2a, 0x86, 0x48, 0xce, 0x3d, 0x03, 0x01, 0x07};
    for (CK_ULONG i = 0; i < count; ++i) {
        CK_BYTE value[512];
        CK_ATTRIBUTE size{keyType == CKK_RSA ? CKA_MODULUS : CKA_EC_PARAMS, value, sizeof value};
        if (p11->C_GetAttributeValue(session, found[i], &size, 1) != CKR_OK)
            continue;
        if (keyType == CKK_RSA ? size.ulValueLen == 256
                               : size.ulValueLen == sizeof p256 && std::memcmp(value, p256, sizeof p256) == 0)
            return found[i];
    }
    fail(keyType == CKK_RSA ? "no RSA 2048 private key" : "no EC P-256 private key");
}

using Clock = std::chrono::steady_clock;

// Signatures made and the time they took, added up over the turns.
struct Rate {
    long count = 0;
    double seconds = 0;
    double perSecond() const { return seconds > 0 ? count / seconds : 0; }
};

// Signs for `seconds` and adds the signatures made and the time taken to `rate`.
template <typename SignOnce> void signFor(double seconds, Rate& rate, SignOnce signOnce) {
    const Clock::time_point start = Clock::now();
    double elapsed = 0;
    do {
        signOnce();
        ++rate.count;
        elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    } while (elapsed < seconds);
    rate.seconds += elapsed;
}

struct ModuleKey {
    CK_FUNCTION_LIST* p11;
    CK_SESSION_HANDLE session;
    CK_OBJECT_HANDLE key;
    CK_MECHANISM_TYPE mechanism;
};

void signThroughModule(const ModuleKey& key) {
    CK_BYTE data[32];
    std::memset(data, 0x5A, sizeof data);
    CK_BYTE signature[512];
    CK_ULONG length = sizeof signature;
    CK_MECHANISM mechanism{key.mechanism, nullptr, 0};
    check(key.p11->C_SignInit(key.session, &mechanism, key.key), "C_SignInit");
    check(key.p11->C_Sign(key.session, data, sizeof data, signature, &length), "C_Sign");
}

struct PkeyContextFree {
    void operator()(EVP_PKEY_CTX* context) const { EVP_PKEY_CTX_free(context); }
};
using PkeyContext = std::unique_ptr<EVP_PKEY_CTX, PkeyContextFree>;

// An OpenSSL signing context for a new key like the module's: RSA 2048 with PKCS#1 v1.5 padding over a
// SHA-256 digest, or EC P-256.
PkeyContext openSslSigner(CK_KEY_TYPE keyType) {
    EVP_PKEY* key = keyType == CKK_RSA ? EVP_PKEY_Q_keygen(nullptr, nullptr, "RSA", std::size_t{2048})
                                       : EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256");
    if (!key)
        fail("OpenSSL makes no key");
    PkeyContext context(EVP_PKEY_CTX_new(key, nullptr));
    EVP_PKEY_free(key);
    bool ready = context && EVP_PKEY_sign_init(context.get()) > 0;
    if (ready && keyType == CKK_RSA)
        ready = EVP_PKEY_CTX_set_rsa_padding(context.get(), RSA_PKCS1_PADDING) > 0 &&
                EVP_PKEY_CTX_set_signature_md(context.get(), EVP_sha256()) > 0;
    if (!ready)
        fail("OpenSSL sets up no signing context");
    return context;
}

void signThroughOpenSsl(EVP_PKEY_CTX* context, bool hashFirst) {
    unsigned char data[32];
    std::memset(data, 0x5A, sizeof data);
    unsigned char digest[32];
    const unsigned char* input = data;
    if (hashFirst) {
        if (!EVP_Digest(data, sizeof data, digest, nullptr, EVP_sha256(), nullptr))
            fail("SHA-256");
        input = digest;
    }
    unsigned char signature[512];
    std::size_t length = sizeof signature;
    if (EVP_PKEY_sign(context, signature, &length, input, 32) <= 0)
        fail("OpenSSL signs nothing");
}

void printRates(const char* name, const ModuleKey& key, CK_KEY_TYPE keyType, double seconds) {
    PkeyContext openSsl = openSslSigner(keyType);
    constexpr int kTurns = 50;
    Rate module;
    Rate reference;
    for (int turn = 0; turn < kTurns; ++turn) {
        signFor(seconds / kTurns, module, [&] { signThroughModule(key); });
        signFor(seconds / kTurns, reference, [&] { signThroughOpenSsl(openSsl.get(), keyType == CKK_RSA); });
    }
    std::printf("%s %10.0f signatures/s   OpenSSL %10.0f signatures/s   share %.2f\n", name,
                module.perSecond(), reference.perSecond(), module.perSecond() / reference.perSecond());
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: module_sign_bench MODULE TOKEN-LABEL PIN [SECONDS]\n");
        return 2;
    }
    const double seconds = argc > 4 ? std::atof(argv[4]) : 2.0;
    void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!library)
        fail(dlerror());
    auto getList = reinterpret_cast<CK_C_GetFunctionList>(dlsym(library, "C_GetFunctionList"));
    CK_FUNCTION_LIST* p11 = nullptr;
    if (!getList)
        fail("no C_GetFunctionList");
    check(getList(&p11), "C_GetFunctionList");
    check(p11->C_Initialize(nullptr), "C_Initialize");
    CK_SESSION_HANDLE session = 0;
    check(p11->C_OpenSession(slotLabelled(p11, argv[2]), CKF_SERIAL_SESSION, nullptr, nullptr, &session),
          "C_OpenSession");
    check(p11->C_Login(session, CKU_USER, reinterpret_cast<CK_UTF8CHAR*>(argv[3]), std::strlen(argv[3])),
          "C_Login");
    printRates("RSA-2048 SHA256-RSA-PKCS",
               {p11, session, findKey(p11, session, CKK_RSA), CKM_SHA256_RSA_PKCS}, CKK_RSA, seconds);
    printRates("EC P-256 ECDSA (digest) ", {p11, session, findKey(p11, session, CKK_EC), CKM_ECDSA}, CKK_EC,
               seconds);
    p11->C_Logout(session);
    p11->C_CloseSession(session);
    p11->C_Finalize(nullptr);
    return 0;
}
