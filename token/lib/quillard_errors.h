/*
 * Result codes of libquillard. PKCS#11 CKR_* values wherever one fits, vendor codes (0x0A0000xx) for the
 * rest. The one table: every code the library returns is listed here with the name quillard_error_name()
 * gives (QR_STILL_RUNNING is the window's own: an operation that had not ended when its wait ran out). The
 * enumerators carry a QR_ prefix so this header can sit beside a PKCS#11 header.
 */
#ifndef QUILLARD_ERRORS_H
#define QUILLARD_ERRORS_H

#define QUILLARD_ERROR_TABLE(X)                                                                              \
    X(QR_OK, 0x00000000, "QR_OK")                                                                            \
    X(QR_HOST_MEMORY, 0x00000002, "CKR_HOST_MEMORY")                                                         \
    X(QR_SLOT_ID_INVALID, 0x00000003, "CKR_SLOT_ID_INVALID")                                                 \
    X(QR_GENERAL_ERROR, 0x00000005, "CKR_GENERAL_ERROR")                                                     \
    X(QR_ARGUMENTS_BAD, 0x00000007, "CKR_ARGUMENTS_BAD")                                                     \
    X(QR_DATA_LEN_RANGE, 0x00000021, "CKR_DATA_LEN_RANGE")                                                   \
    X(QR_DEVICE_ERROR, 0x00000030, "CKR_DEVICE_ERROR")                                                       \
    X(QR_DEVICE_MEMORY, 0x00000031, "CKR_DEVICE_MEMORY")                                                     \
    X(QR_DEVICE_REMOVED, 0x00000032, "CKR_DEVICE_REMOVED")                                                   \
    X(QR_FUNCTION_CANCELED, 0x00000050, "CKR_FUNCTION_CANCELED")                                             \
    X(QR_FUNCTION_NOT_SUPPORTED, 0x00000054, "CKR_FUNCTION_NOT_SUPPORTED")                                   \
    X(QR_KEY_HANDLE_INVALID, 0x00000060, "CKR_KEY_HANDLE_INVALID")                                           \
    X(QR_OBJECT_HANDLE_INVALID, 0x00000082, "CKR_OBJECT_HANDLE_INVALID")                                     \
    X(QR_OPERATION_NOT_INITIALIZED, 0x00000091, "CKR_OPERATION_NOT_INITIALIZED")                             \
    X(QR_PIN_INCORRECT, 0x000000A0, "CKR_PIN_INCORRECT")                                                     \
    X(QR_PIN_INVALID, 0x000000A1, "CKR_PIN_INVALID")                                                         \
    X(QR_PIN_LEN_RANGE, 0x000000A2, "CKR_PIN_LEN_RANGE")                                                     \
    X(QR_PIN_LOCKED, 0x000000A4, "CKR_PIN_LOCKED")                                                           \
    X(QR_TOKEN_NOT_PRESENT, 0x000000E0, "CKR_TOKEN_NOT_PRESENT")                                             \
    X(QR_TOKEN_NOT_RECOGNIZED, 0x000000E1, "CKR_TOKEN_NOT_RECOGNIZED")                                       \
    X(QR_USER_ALREADY_LOGGED_IN, 0x00000100, "CKR_USER_ALREADY_LOGGED_IN")                                   \
    X(QR_USER_NOT_LOGGED_IN, 0x00000101, "CKR_USER_NOT_LOGGED_IN")                                           \
    X(QR_USER_PIN_NOT_INITIALIZED, 0x00000102, "CKR_USER_PIN_NOT_INITIALIZED")                               \
    X(QR_BUFFER_TOO_SMALL, 0x00000150, "CKR_BUFFER_TOO_SMALL")                                               \
    X(QR_CRYPTOKI_NOT_INITIALIZED, 0x00000190, "CKR_CRYPTOKI_NOT_INITIALIZED")                               \
    X(QR_CRYPTOKI_ALREADY_INITIALIZED, 0x00000191, "CKR_CRYPTOKI_ALREADY_INITIALIZED")                       \
    X(QR_MODULE_NOT_FOUND, 0x0A000001, "QR_MODULE_NOT_FOUND")                                                \
    X(QR_STORAGE_ERROR, 0x0A000002, "QR_STORAGE_ERROR")                                                      \
    X(QR_FILE_NOT_FOUND, 0x0A000010, "QR_FILE_NOT_FOUND")                                                    \
    X(QR_FILE_UNUSABLE, 0x0A000011, "QR_FILE_UNUSABLE")                                                      \
    X(QR_WRONG_PASSWORD, 0x0A000012, "QR_WRONG_PASSWORD")                                                    \
    X(QR_FILE_NOT_PRIVATE, 0x0A000013, "QR_FILE_NOT_PRIVATE")                                                \
    X(QR_CONTAINER_EXISTS, 0x0A000020, "QR_CONTAINER_EXISTS")                                                \
    X(QR_CONTAINER_LIMIT, 0x0A000022, "QR_CONTAINER_LIMIT")                                                  \
    X(QR_CONTAINER_NOT_FOUND, 0x0A000021, "QR_CONTAINER_NOT_FOUND")                                          \
    X(QR_NO_MATCHING_KEY, 0x0A000023, "QR_NO_MATCHING_KEY")                                                  \
    X(QR_OUT_OF_SPACE, 0x0A000030, "QR_OUT_OF_SPACE")                                                        \
    X(QR_NO_DISPLAY_HANDLER, 0x0A000040, "QR_NO_DISPLAY_HANDLER")                                            \
    X(QR_STILL_RUNNING, 0x00000103, "QR_STILL_RUNNING")

#ifdef __cplusplus
extern "C" {
#endif

enum QuillardResult {
#define QUILLARD_ENUM_ENTRY(name, value, text) name = value,
    QUILLARD_ERROR_TABLE(QUILLARD_ENUM_ENTRY)
#undef QUILLARD_ENUM_ENTRY
};

#ifdef __cplusplus
}
#endif

#endif
