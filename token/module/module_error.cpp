#include "module_error.h"

#include "token/lib/quillard_errors.h"

namespace quillard::module {

CK_RV resultToCkr(Result result) {
    switch (result) {
    case QR_OUT_OF_SPACE:
    case QR_CONTAINER_LIMIT:
        return CKR_DEVICE_MEMORY;
    case QR_CONTAINER_EXISTS:
        return CKR_ATTRIBUTE_VALUE_INVALID;
    case QR_CONTAINER_NOT_FOUND:
        return CKR_OBJECT_HANDLE_INVALID;
    case QR_SLOT_ID_INVALID: // the key has gone since the last scan
        return CKR_DEVICE_REMOVED;
    case QR_MODULE_NOT_FOUND:
    case QR_STORAGE_ERROR:
    case QR_FILE_NOT_FOUND:
    case QR_FILE_UNUSABLE:
    case QR_FILE_NOT_PRIVATE:
        return CKR_DEVICE_ERROR;
    case QR_WRONG_PASSWORD:
        return CKR_PIN_INCORRECT;
    case QR_NO_DISPLAY_HANDLER:
        return CKR_FUNCTION_NOT_SUPPORTED;
    default:
        return static_cast<CK_RV>(static_cast<uint32_t>(result));
    }
}

void require(Result result) {
    if (result != QR_OK)
        fail(resultToCkr(result));
}

} // namespace quillard::module
