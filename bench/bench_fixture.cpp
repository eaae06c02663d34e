// bench_fixture MODULE TOKEN-LABEL: makes the two keys the side-by-side benchmark (compare_with_softhsm.sh)
// reads. In the key folders of $XDG_DATA_HOME, the virtual key BENCH0065 with 65 containers, each with an
// exchange and a signature pair (EC P-256) and their certificates. In the PKCS#11 token labelled TOKEN-LABEL
// of MODULE (SoftHSM2, initialised with the benchmark's user PIN), the same 390 objects: for each pair its
// certificate, public key and private key, labelled with the container's name.
#define CRYPTOKI_COMPAT
#include <p11-kit/pkcs11.h>

#include "key_fill.h"
#include "key_read.h"
#include "token/lib/openssl_handles.h"
#include "token/token_ops.h"

#include <openssl/core_names.h>
#include <openssl/x509.h>

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// The OID of the P-256 curve, DER, as CKA_EC_PARAMS holds it.
const Bytes kP256Parameters = {0x06, 0x08, 0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x03, 0x01, 0x07};

template <typename Object, typename Encode> Bytes der(Encode encode, const Object* object) {
    int length = encode(object, nullptr);
    if (length <= 0)
        throw std::runtime_error("cannot encode a part of a certificate");
    Bytes bytes(static_cast<std::size_t>(length));
    unsigned char* cursor = bytes.data();
    encode(object, &cursor);
    return bytes;
}

// What a token keeps of one credential.
struct TokenObjects {
    Bytes certificate, subject, issuer, serial;
    Bytes point;        // the public point, uncompressed, in a DER OCTET STRING
    Bytes privateValue; // the private scalar
};

TokenObjects tokenObjectsOf(const quillard::Credential& credential) {
    TokenObjects objects;
    objects.certificate = credential.certificateDer;
    const unsigned char* cursor = credential.certificateDer.data();
    quillard::X509Ptr certificate(
        d2i_X509(nullptr, &cursor, static_cast<long>(credential.certificateDer.size())));
    if (!certificate)
        throw std::runtime_error("a certificate does not parse");
    objects.subject = der(i2d_X509_NAME, X509_get_subject_name(certificate.get()));
    objects.issuer = der(i2d_X509_NAME, X509_get_issuer_name(certificate.get()));
    objects.serial = der(i2d_ASN1_INTEGER, X509_get0_serialNumber(certificate.get()));

    cursor = credential.privateKeyDer.data();
    quillard::EvpPkeyPtr key(
        d2i_AutoPrivateKey(nullptr, &cursor, static_cast<long>(credential.privateKeyDer.size())));
    Bytes point(65);
    std::size_t pointLength = 0;
    BIGNUM* scalar = nullptr;
    objects.privateValue.resize(32);
    if (!key ||
        !EVP_PKEY_get_octet_string_param(key.get(), OSSL_PKEY_PARAM_ENCODED_PUBLIC_KEY, point.data(),
                                         point.size(), &pointLength) ||
        pointLength != point.size() || !EVP_PKEY_get_bn_param(key.get(), OSSL_PKEY_PARAM_PRIV_KEY, &scalar) ||
        BN_bn2binpad(scalar, objects.privateValue.data(), 32) != 32)
        throw std::runtime_error("a private key is not an EC P-256 key");
    BN_clear_free(scalar);
    objects.point = {0x04, static_cast<uint8_t>(point.size())};
    objects.point.insert(objects.point.end(), point.begin(), point.end());
    return objects;
}

class Token {
public:
    Token(const char* module, const std::string& label) {
        library_ = dlopen(module, RTLD_NOW | RTLD_LOCAL);
        if (!library_)
            throw std::runtime_error(std::string("cannot load ") + module + ": " + dlerror());
        auto getList = reinterpret_cast<CK_C_GetFunctionList>(dlsym(library_, "C_GetFunctionList"));
        check(getList ? getList(&p11_) : CKR_FUNCTION_NOT_SUPPORTED, "C_GetFunctionList");
        check(p11_->C_Initialize(nullptr), "C_Initialize");
        CK_SLOT_ID slot = slotOf(label);
        check(p11_->C_OpenSession(slot, CKF_SERIAL_SESSION | CKF_RW_SESSION, nullptr, nullptr, &session_),
              "C_OpenSession");
        check(p11_->C_Login(session_, CKU_USER,
                            reinterpret_cast<CK_UTF8CHAR*>(const_cast<char*>(bench::kUserPin)),
                            std::strlen(bench::kUserPin)),
              "C_Login");
    }
    ~Token() {
        if (p11_) {
            p11_->C_Logout(session_);
            p11_->C_CloseSession(session_);
            p11_->C_Finalize(nullptr);
        }
    }
    Token(const Token&) = delete;
    Token& operator=(const Token&) = delete;

    void store(const std::string& label, const Bytes& id, const TokenObjects& objects) {
        CK_BBOOL yes = CK_TRUE;
        CK_OBJECT_CLASS certificateClass = CKO_CERTIFICATE, publicClass = CKO_PUBLIC_KEY,
                        privateClass = CKO_PRIVATE_KEY;
        CK_CERTIFICATE_TYPE x509 = CKC_X_509;
        CK_KEY_TYPE ec = CKK_EC;
        std::string text = label;
        std::vector<CK_ATTRIBUTE> certificate = {
            {CKA_CLASS, &certificateClass, sizeof certificateClass},
            {CKA_CERTIFICATE_TYPE, &x509, sizeof x509},
            {CKA_TOKEN, &yes, sizeof yes},
            {CKA_LABEL, text.data(), text.size()},
            {CKA_ID, const_cast<uint8_t*>(id.data()), id.size()},
            {CKA_VALUE, const_cast<uint8_t*>(objects.certificate.data()), objects.certificate.size()},
            {CKA_SUBJECT, const_cast<uint8_t*>(objects.subject.data()), objects.subject.size()},
            {CKA_ISSUER, const_cast<uint8_t*>(objects.issuer.data()), objects.issuer.size()},
            {CKA_SERIAL_NUMBER, const_cast<uint8_t*>(objects.serial.data()), objects.serial.size()},
        };
        std::vector<CK_ATTRIBUTE> publicKey = {
            {CKA_CLASS, &publicClass, sizeof publicClass},
            {CKA_KEY_TYPE, &ec, sizeof ec},
            {CKA_TOKEN, &yes, sizeof yes},
            {CKA_VERIFY, &yes, sizeof yes},
            {CKA_LABEL, text.data(), text.size()},
            {CKA_ID, const_cast<uint8_t*>(id.data()), id.size()},
            {CKA_EC_PARAMS, const_cast<uint8_t*>(kP256Parameters.data()), kP256Parameters.size()},
            {CKA_EC_POINT, const_cast<uint8_t*>(objects.point.data()), objects.point.size()},
        };
        std::vector<CK_ATTRIBUTE> privateKey = {
            {CKA_CLASS, &privateClass, sizeof privateClass},
            {CKA_KEY_TYPE, &ec, sizeof ec},
            {CKA_TOKEN, &yes, sizeof yes},
            {CKA_PRIVATE, &yes, sizeof yes},
            {CKA_SENSITIVE, &yes, sizeof yes},
            {CKA_SIGN, &yes, sizeof yes},
            {CKA_LABEL, text.data(), text.size()},
            {CKA_ID, const_cast<uint8_t*>(id.data()), id.size()},
            {CKA_EC_PARAMS, const_cast<uint8_t*>(kP256Parameters.data()), kP256Parameters.size()},
            {CKA_VALUE, const_cast<uint8_t*>(objects.privateValue.data()), objects.privateValue.size()},
        };
        for (std::vector<CK_ATTRIBUTE>* templ : {&certificate, &publicKey, &privateKey}) {
            CK_OBJECT_HANDLE handle = 0;
            check(p11_->C_CreateObject(session_, templ->data(), templ->size(), &handle), "C_CreateObject");
        }
    }

private:
    static void check(CK_RV result, const char* what) {
        if (result == CKR_OK)
            return;
        char code[32];
        std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(result));
        throw std::runtime_error(std::string(what) + " failed: " + code);
    }

    CK_SLOT_ID slotOf(const std::string& label) {
        CK_ULONG count = 0;
        check(p11_->C_GetSlotList(CK_TRUE, nullptr, &count), "C_GetSlotList");
        std::vector<CK_SLOT_ID> slots(count);
        check(p11_->C_GetSlotList(CK_TRUE, slots.data(), &count), "C_GetSlotList");
        for (CK_SLOT_ID slot : slots) {
            CK_TOKEN_INFO info{};
            if (p11_->C_GetTokenInfo(slot, &info) != CKR_OK)
                continue;
            std::string found(reinterpret_cast<const char*>(info.label), sizeof info.label);
            found.erase(found.find_last_not_of(' ') + 1);
            if (found == label)
                return slot;
        }
        throw std::runtime_error("no token labelled " + label);
    }

    void* library_ = nullptr;
    CK_FUNCTION_LIST* p11_ = nullptr;
    CK_SESSION_HANDLE session_ = 0;
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_fixture PKCS11-MODULE TOKEN-LABEL\n");
        return 2;
    }
    try {
        const char* dataHome = std::getenv("XDG_DATA_HOME");
        if (!dataHome || !*dataHome)
            throw std::runtime_error("XDG_DATA_HOME must name the benchmark's own folder");
        bench::createKey(bench::keySettings("BENCH0065", 4 << 20));
        bench::require(token::init_pkcs11("zarto_pkcs11.dll"), "init_pkcs11");
        std::vector<quillard::Credential> credentials = bench::fillContainers(dataHome);
        token::uninit_pkcs11();

        Token token(argv[1], argv[2]);
        for (std::size_t i = 0; i < credentials.size(); ++i) {
            Bytes id = {static_cast<uint8_t>(i >> 8), static_cast<uint8_t>(i)};
            token.store(bench::containerName(static_cast<int>(i / 2)), id, tokenObjectsOf(credentials[i]));
        }
        std::printf("%zu credentials on the virtual key BENCH0065 and the token %s\n", credentials.size(),
                    argv[2]);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_fixture: %s\n", error.what());
        return 1;
    }
}
