/*
 * libquillard: the token manager library. Every function returns a 32-bit result, 0 on success, otherwise one
 * of the codes of quillard_errors.h. Strings are NUL-terminated 8-bit text; key labels are UTF-8. `idx` is
 * the 0-based position of a key in the last token_find result; `spec` is 1 (exchange pair) or 2 (signature
 * pair). All functions may be called from any thread; the library serialises them internally.
 */
#ifndef QUILLARD_H
#define QUILLARD_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define QUILLARD_API __declspec(dllexport)
#else
#define QUILLARD_API __attribute__((visibility("default")))
#endif

/* The 166-byte block token_format takes. Text fields are zero-padded and carry no length; a field with
 * anything but zero bytes after its text is refused (CKR_ARGUMENTS_BAD) rather than cut. */
#pragma pack(push, 1)
typedef struct TFormatParams {
    char label[32];        /* UTF-8, at most 31 bytes */
    char manufacturer[32]; /* 8-bit text */
    char issuer[32];       /* 8-bit text */
    char so_pin[32];       /* 8-bit text */
    char user_pin[32];     /* 8-bit text */
    uint8_t user_pin_retries;
    uint8_t so_pin_retries;
    uint8_t user_pin_min_len;
    uint8_t user_pin_max_len;
    uint8_t so_pin_min_len;
    uint8_t so_pin_max_len;
} TFormatParams;
#pragma pack(pop)

/* Starts the library. The maker's module name (any folder and extension) selects the built-in virtual keys
 * and every PKCS#11 module p11-kit registers for this program (trust-policy modules left out), virtual keys
 * first; the environment variable QUILLARD_PKCS11_MODULES, when set, names the module files (':'-separated)
 * to use instead of the registered ones. Any other name or path loads that one PKCS#11 module alone; a bare
 * name is looked up in p11-kit's module folder, the system library folders and the program's folder. */
QUILLARD_API int32_t init_pkcs11(const char* module_name);
QUILLARD_API int32_t uninit_pkcs11(void);

/* Lists the plugged keys: `list` receives up to *count entries (32 by convention), *count the number found.
 */
QUILLARD_API int32_t token_find(int32_t* list, int32_t* count);
QUILLARD_API int32_t token_connect(int32_t idx);

/* serial 33 bytes, label 129 bytes (UTF-8), manufacturer 65, model 65; then maximum user PIN length, minimum
 * user PIN length, maximum SO PIN length, minimum SO PIN length, total memory, free memory (bytes, or
 * QUILLARD_MEMORY_UNKNOWN), hardware
 * version, firmware version (major * 256 + minor) and the initialised flag. */
QUILLARD_API int32_t token_get_info(int32_t idx, char* serial, char* label, char* manufacturer, char* model,
                                    int32_t* max_pin_len, int32_t* min_pin_len, int32_t* max_so_pin_len,
                                    int32_t* min_so_pin_len, int32_t* total_memory, int32_t* free_memory,
                                    int32_t* hardware_version, int32_t* firmware_version,
                                    int32_t* initialised);

/* A memory figure (total or free) the token does not tell (CK_UNAVAILABLE_INFORMATION): show it as unknown,
 * not as a number; never 0, which would read as a full key. */
#define QUILLARD_MEMORY_UNKNOWN (-1)

/* A retry count the key does not tell: PKCS#11 tokens give the PIN state only as flags, so retries left is 0
 * when locked, 1 on the final try and QUILLARD_RETRIES_UNKNOWN otherwise, and the maximum is unknown. Never
 * a count: show it as unknown, not as a number. */
#define QUILLARD_RETRIES_UNKNOWN (-1)

/* The PIN a call concerns: the user_type of token_get_pin_state. */
enum QuillardPinType { QUILLARD_SO_PIN = 0, QUILLARD_USER_PIN = 1 };

/* user_type QUILLARD_USER_PIN or QUILLARD_SO_PIN. Fills retries left, maximum retries (either may be
 * QUILLARD_RETRIES_UNKNOWN), minimum length, maximum length, locked flag (1 = locked) and logged-in flag. */
QUILLARD_API int32_t token_get_pin_state(int32_t idx, int32_t user_type, int32_t* retries_left,
                                         int32_t* max_retries, int32_t* min_len, int32_t* max_len,
                                         int32_t* locked, int32_t* logged_in);

/* *retries_left receives the tries left after a wrong PIN, or QUILLARD_RETRIES_UNKNOWN. */
QUILLARD_API int32_t token_login(int32_t idx, const char* user_pin, int32_t* retries_left);
QUILLARD_API int32_t token_login_so(int32_t idx, const char* so_pin, int32_t* retries_left);
QUILLARD_API int32_t token_logout(int32_t idx);
QUILLARD_API int32_t token_change_upin(int32_t idx, const char* old_pin, const char* new_pin);
QUILLARD_API int32_t token_change_sopin(int32_t idx, const char* old_so_pin, const char* new_so_pin);
/* The SO sets a new user PIN, which also unlocks a locked user PIN. */
QUILLARD_API int32_t token_set_upin(int32_t idx, const char* so_pin, const char* new_user_pin);
/* `label` is a 64-byte zero-padded buffer holding fewer than 32 bytes of UTF-8. */
QUILLARD_API int32_t token_set_label(int32_t idx, const char* label);
QUILLARD_API int32_t token_format(int32_t idx, const TFormatParams* params);
/* 2048-byte sectors, at most 65536 bytes a call; needs the user login. */
QUILLARD_API int32_t token_write_sectors(int32_t idx, uint32_t first_sector, uint32_t sector_count,
                                         const void* data);
QUILLARD_API int32_t token_reload_all_objects(int32_t idx);

/* Container names, each ended by a NUL byte, in creation order; *length in: buffer size, out: bytes used. */
QUILLARD_API int32_t container_load_all(int32_t idx, char* buffer, int32_t* length);
/* QR_CONTAINER_LIMIT once the key holds 65 containers, the most any reader of the list takes. */
QUILLARD_API int32_t container_create_new(int32_t idx, const char* name);
QUILLARD_API int32_t container_delete(int32_t idx, const char* name);
QUILLARD_API int32_t container_delete_cert(int32_t idx, const char* name, int32_t spec);
/* DER certificate; *length in: buffer size, out: certificate size. */
QUILLARD_API int32_t container_get_cert(int32_t idx, const char* name, int32_t spec, uint8_t* buffer,
                                        int32_t* length);
/* algorithm: 0 RSA, 3 ECC; bits: key length; buffer receives the DER SubjectPublicKeyInfo. */
QUILLARD_API int32_t container_get_pubkey(int32_t idx, const char* name, int32_t spec, int32_t* algorithm,
                                          int32_t* bits, uint8_t* buffer, int32_t* length);
/* Tells whether the private key exists (needs the user login); the key itself never leaves the library. */
QUILLARD_API int32_t container_get_prikey(int32_t idx, const char* name, int32_t spec, int32_t* algorithm,
                                          int32_t* bits);

/* subject and issuer: 257 UTF-16 units each; serial: 257 bytes of upper-case hexadecimal; the dates are nine
 * integers: year, month, day, hour, minute, second, day of week (0 = Sunday), day of year, 0. algorithm is 0
 * for RSA and ECDSA certificates, 1 for any other signature key. */
QUILLARD_API int32_t helper_get_cert_info2(const uint8_t* cert, int32_t length, uint16_t* subject,
                                           uint16_t* issuer, int32_t* version, char* serial,
                                           int32_t* valid_from, int32_t* valid_to, int32_t* algorithm);
/* Hands the certificate to the display handler registered with quillard_set_cert_display_handler. */
QUILLARD_API int32_t helper_show_cert_ui(void* owner, const uint8_t* cert, int32_t length);

/* The text forms of a DER certificate for a viewer, in UTF-8: `field` is one of QUILLARD_CERT_*; names one a
 * line ("CN = Alice, O = Example"), serial and fingerprints as colon-separated hexadecimal, times as
 * "YYYY-MM-DD HH:MM:SS UTC", the key algorithm ("RSA", "EC P-256") and its size in bits, the usage
 * extensions as OpenSSL prints them (empty when absent), every field and extension as X509_print_ex prints
 * them, the PEM form, and the key ID: the SHA-1 of the public key as upper-case hexadecimal, the CKA_ID the
 * virtual keys give the certificate and its key pair. *length in: buffer size, out: bytes of the text with
 * its NUL (QR_BUFFER_TOO_SMALL when it does not fit). Bytes that are not exactly one certificate give
 * QR_ARGUMENTS_BAD. */
enum {
    QUILLARD_CERT_SUBJECT = 0,
    QUILLARD_CERT_ISSUER = 1,
    QUILLARD_CERT_SERIAL = 2,
    QUILLARD_CERT_NOT_BEFORE = 3,
    QUILLARD_CERT_NOT_AFTER = 4,
    QUILLARD_CERT_KEY_ALGORITHM = 5,
    QUILLARD_CERT_KEY_BITS = 6,
    QUILLARD_CERT_KEY_USAGE = 7,
    QUILLARD_CERT_EXTENDED_KEY_USAGE = 8,
    QUILLARD_CERT_SHA1 = 9,
    QUILLARD_CERT_SHA256 = 10,
    QUILLARD_CERT_DETAILS = 11,
    QUILLARD_CERT_PEM = 12,
    QUILLARD_CERT_KEY_ID = 13
};
QUILLARD_API int32_t helper_get_cert_text(const uint8_t* cert, int32_t length, int32_t field, char* text,
                                          int32_t* text_length);

/* Parses a PKCS#12 file and keeps it for pkcs12_import_certificate; *entries = number of key/certificate
 * pairs, 0 (with result 0) for a file the password opens that holds no key with its certificate. */
QUILLARD_API int32_t pkcs12_file_parse(const char* path, const char* password, int32_t* entries);
/* Both imports make the container when it is not there, in the same step as what they store: a failed
 * import leaves nothing behind. */
QUILLARD_API int32_t pkcs12_import_certificate(int32_t idx, const char* container, int32_t spec,
                                               int32_t entry);
/* DER or PEM certificate file; stores the certificate and its public key. */
QUILLARD_API int32_t x509_import_certificate(int32_t idx, const char* container, int32_t spec,
                                             const char* path);

QUILLARD_API int32_t container_addcert_to_store(const char* container, const char* csp_name, int32_t spec,
                                                const uint8_t* cert, int32_t length);
QUILLARD_API int32_t remove_all_certs_from_store(const char* csp_name);

/* Not part of the 30 key functions: the application registers how a certificate is shown. */
typedef int32_t (*quillard_cert_display_handler)(void* owner, const uint8_t* cert, int32_t length,
                                                 void* context);
QUILLARD_API void quillard_set_cert_display_handler(quillard_cert_display_handler handler, void* context);
/* Not part of the 30 key functions: *changed = 1 when the tokens of the PKCS#11 modules differ from the
 * last token_find (a token inserted or removed), else 0. Cheap and never waits; virtual keys are seen
 * through their folder instead. */
QUILLARD_API int32_t quillard_tokens_changed(int32_t* changed);
/* Not part of the 30 key functions, called before init_pkcs11: with in_background 1, init_pkcs11 of the
 * maker's module readies the virtual keys only, and the PKCS#11 modules p11-kit registers start beside the
 * caller once the first token_find has found the virtual keys. token_find lists their tokens once they have
 * started and never waits for them; quillard_tokens_changed waits for them (starting them if no token_find
 * did) and answers 1 when they brought tokens. 0 (the default): init_pkcs11
 * returns after every module started. */
QUILLARD_API int32_t quillard_start_modules_in_background(int32_t in_background);
/* The last failed PKCS#11 call, NUL-terminated ("softhsm2: C_Login failed with CKR_PIN_INCORRECT"; empty
 * when none failed); *length as for quillard_virtual_key_folder. */
QUILLARD_API int32_t quillard_last_failure(char* buffer, int32_t* length);
/* Not part of the 30 key functions: the name of the module key `idx` belongs to, NUL-terminated ("virtual"
 * for the built-in virtual keys, p11-kit's name of a PKCS#11 module, such as "softhsm2"); *length as for
 * quillard_virtual_key_folder. */
QUILLARD_API int32_t quillard_key_module(int32_t idx, char* buffer, int32_t* length);
/* The symbolic name of a result code ("CKR_PIN_INCORRECT"), or "UNKNOWN". */
QUILLARD_API const char* quillard_error_name(int32_t code);

/* Not part of the 30 key functions, and usable before init_pkcs11: the library's own devices and files.
 * The folder a virtual key is plugged into, NUL-terminated; *length holds the buffer's size and receives the
 * bytes written (or needed, with QR_BUFFER_TOO_SMALL). */
QUILLARD_API int32_t quillard_virtual_key_folder(char* buffer, int32_t* length);
/* The device path of every plugged virtual key ("\\?\USB#VID_0000&PID_E917#<serial>#{class}"), each
 * NUL-terminated, one after the other; *length as above (0 bytes when no key is plugged). */
QUILLARD_API int32_t quillard_virtual_key_devices(char* buffer, int32_t* length);
/* The provider name the library's certificate store answers to. */
QUILLARD_API const char* quillard_provider_name(void);
/* For the maker's PKCS#11 module name or provider module name (any folder, extension or letter case), the
 * library's own file, NUL-terminated; QR_MODULE_NOT_FOUND for any other name. */
QUILLARD_API int32_t quillard_module_file(const char* module_name, char* buffer, int32_t* length);

/* Not part of the 30 key functions: the size in bytes of key `idx`'s disk area, which token_write_sectors
 * writes to; QR_FUNCTION_NOT_SUPPORTED for a key without one (a PKCS#11 token). */
QUILLARD_API int32_t quillard_disk_size(int32_t idx, uint64_t* bytes);
/* Not part of the 30 key functions: the certificates an import would store, so a caller can look at them
 * first. The DER certificate of entry `entry` of the PKCS#12 file pkcs12_file_parse read last, and the
 * certificate of an X.509 file (DER or PEM); *length holds the buffer's size and receives the bytes written
 * (or needed, with QR_BUFFER_TOO_SMALL). */
QUILLARD_API int32_t pkcs12_entry_certificate(int32_t entry, uint8_t* buffer, int32_t* length);
QUILLARD_API int32_t x509_file_certificate(const char* path, uint8_t* buffer, int32_t* length);

/* Not part of the 30 key functions: *count_low = 1 when the token flags the PIN of `user_type` as having had
 * wrong tries (PKCS#11's "count low" flags, for tokens that tell no counts), else 0. */
QUILLARD_API int32_t token_get_pin_count_low(int32_t idx, int32_t user_type, int32_t* count_low);
/* Not part of the 30 key functions: key pairs made on the key, and the certificates for them. The private
 * key never leaves the key. Every kind of key pair is an algorithm (0 RSA, 3 ECC, as container_get_pubkey
 * gives it) with its bits: RSA 2048, 3072 or 4096, EC 256 (P-256) or 384 (P-384). */

/* The kinds of key pair the key can generate: algorithms[i] with bits[i]; *count in: room of both arrays
 * (5 holds every kind), out: kinds written (QR_BUFFER_TOO_SMALL with the number when they do not fit). The
 * virtual keys make every kind; a PKCS#11 token those its mechanism list and key sizes allow, and none when
 * it cannot generate (result 0, *count 0). */
QUILLARD_API int32_t token_get_keygen_algorithms(int32_t idx, int32_t* algorithms, int32_t* bits,
                                                 int32_t* count);
/* Generates a key pair on the key under (name, spec), making the container when it is not there; needs the
 * user login. The pair reads back as a container's key pair without a certificate. QR_CONTAINER_EXISTS when
 * that place holds a key pair or certificate already, QR_FUNCTION_NOT_SUPPORTED for a kind the key does not
 * make; a failure leaves nothing behind. */
QUILLARD_API int32_t container_generate_keypair(int32_t idx, const char* name, int32_t spec,
                                                int32_t algorithm, int32_t bits);
/* Signs `data` with the private key of (name, spec): SHA-256 (SHA-384 for a P-384 key), RSA PKCS#1 v1.5 or
 * ECDSA as a DER Ecdsa-Sig-Value; *length as for container_get_cert. Needs the user login. */
QUILLARD_API int32_t container_sign_data(int32_t idx, const char* name, int32_t spec, const uint8_t* data,
                                         int32_t data_length, uint8_t* signature, int32_t* length);

/* The key usage and extended key usage a request or self-signed certificate asks for. */
enum QuillardUsageTemplate {
    QUILLARD_USAGE_NONE = 0,         /* no usage extensions */
    QUILLARD_USAGE_CLIENT = 1,       /* TLS client authentication */
    QUILLARD_USAGE_SERVER = 2,       /* TLS server authentication */
    QUILLARD_USAGE_EMAIL = 3,        /* e-mail protection */
    QUILLARD_USAGE_CODE_SIGNING = 4, /* code signing */
    QUILLARD_USAGE_SMART_CARD = 5    /* smart card logon with client authentication */
};

/* What a request or a self-signed certificate says: `subject` a one-line DN, "/CN=Alice/O=Example/C=DE"
 * (UTF-8; a '/' or '\' inside a value is written "\/" or "\\"); `alt_names` empty or a list such as
 * "DNS:host.example,email:a@example.org,IP:192.0.2.1,URI:https://example.org"; `usage` a
 * QuillardUsageTemplate; `days` the validity of a self-signed certificate (1 to 36500, else unused). */
typedef struct TCertRequest {
    const char* subject;
    const char* alt_names;
    int32_t usage;
    int32_t days;
} TCertRequest;

/* A PKCS#10 request (DER) for the key pair of (name, spec), signed on the key; *length as for
 * container_get_cert. A subject or alternative name that does not parse gives QR_ARGUMENTS_BAD. */
QUILLARD_API int32_t container_build_request(int32_t idx, const char* name, int32_t spec,
                                             const TCertRequest* request, uint8_t* der, int32_t* length);
/* A self-signed certificate (DER) for the same, valid from now for request->days days; it is not stored. */
QUILLARD_API int32_t container_build_self_signed(int32_t idx, const char* name, int32_t spec,
                                                 const TCertRequest* request, uint8_t* der, int32_t* length);
/* Installs a DER certificate beside the key pair whose public key it carries, found by comparing public keys
 * over the key's containers; `container` (a buffer of container_length bytes, at least 256, which holds every
 * name) and *spec receive where it went. QR_NO_MATCHING_KEY, with the key unchanged, when no key pair on the
 * key matches. */
QUILLARD_API int32_t container_install_cert(int32_t idx, const uint8_t* cert, int32_t length, char* container,
                                            int32_t container_length, int32_t* spec);
/* Not part of the 30 key functions: what kind of token key `idx` is, as QUILLARD_TOKEN_* bits in *flags (0
 * for the virtual keys). On a PIN-pad token token_login, token_login_so, token_change_upin,
 * token_change_sopin and token_set_upin take NULL for all of their PINs, and token_format empty SO and user
 * PINs: the reader asks for each PIN the token needs. */
#define QUILLARD_TOKEN_PIN_PAD 0x1         /* PINs are typed on the reader */
#define QUILLARD_TOKEN_WRITE_PROTECTED 0x2 /* the token refuses every write */
#define QUILLARD_TOKEN_NO_LOGIN 0x4        /* the token's objects are read without a login */
QUILLARD_API int32_t quillard_token_flags(int32_t idx, int32_t* flags);

#ifdef __cplusplus
}
#endif

#endif
