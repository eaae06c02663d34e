// Signatures per second through a PKCS#11 module: build/bin/module_sign_bench MODULE TOKEN-LABEL PIN
// [SECONDS] loads the module as any program does, logs in to the token once and signs 32 bytes again and
// again, each signature a C_SignInit and a C_Sign, with the token's first RSA 2048 key (SHA256-RSA-PKCS) and
// its first EC P-256 key (ECDSA over the 32 bytes taken as a SHA-256 digest, as TLS libraries sign; not every
// module offers ECDSA-SHA256), for SECONDS seconds each (2 by default). Prints one line per key type.
#include <p11-kit/pkcs11.h>

#include <dlfcn.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

double signaturesPerSecond(CK_FUNCTION_LIST* p11, CK_SESSION_HANDLE session, CK_OBJECT_HANDLE key,
                           CK_MECHANISM_TYPE type, double seconds) {
    CK_BYTE data[32];
    std::memset(data, 0x5A, sizeof data);
    CK_BYTE signature[512];
    CK_MECHANISM mechanism{type, nullptr, 0};
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    long count = 0;
    double elapsed = 0;
    do {
        CK_ULONG length = sizeof signature;
        check(p11->C_SignInit(session, &mechanism, key), "C_SignInit");
        check(p11->C_Sign(session, data, sizeof data, signature, &length), "C_Sign");
        ++count;
        elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    } while (elapsed < seconds);
    return count / elapsed;
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
    std::printf(
        "RSA-2048 SHA256-RSA-PKCS %10.0f signatures/s\n",
        signaturesPerSecond(p11, session, findKey(p11, session, CKK_RSA), CKM_SHA256_RSA_PKCS, seconds));
    std::printf("EC P-256 ECDSA (digest)  %10.0f signatures/s\n",
                signaturesPerSecond(p11, session, findKey(p11, session, CKK_EC), CKM_ECDSA, seconds));
    p11->C_Logout(session);
    p11->C_CloseSession(session);
    p11->C_Finalize(nullptr);
    return 0;
}
