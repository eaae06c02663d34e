#include "pkcs11_call.h"

#include "ckr_names.h"
#include "token/lib/quillard_errors.h"

#include <mutex>

namespace quillard::pkcs11 {

namespace {

std::string failureText(const std::string& module, const char* function, CK_RV rv) {
    return module + ": " + function + " failed with " + ckrName(rv);
}

struct FailureRecord {
    std::mutex mutex;
    std::string text;
};

FailureRecord& failureRecord() {
    static FailureRecord record;
    return record;
}

} // namespace

Result resultOf(CK_RV rv) {
    switch (rv) {
    case CKR_OK:
        return QR_OK;
    case CKR_DEVICE_MEMORY:
        return QR_OUT_OF_SPACE;
    case CKR_DEVICE_REMOVED:
    case CKR_TOKEN_NOT_PRESENT:
    case CKR_SESSION_CLOSED:
    case CKR_SESSION_HANDLE_INVALID:
    case CKR_SLOT_ID_INVALID:
        return QR_DEVICE_REMOVED;
    case CKR_FUNCTION_FAILED:
        return QR_GENERAL_ERROR;
    default:
        return rv <= 0x7FFFFFFF ? static_cast<Result>(rv) : QR_GENERAL_ERROR;
    }
}

Pkcs11Failure::Pkcs11Failure(const std::string& module, const char* function, CK_RV rv)
    : std::runtime_error(failureText(module, function, rv)), rv_(rv) {}

void Pkcs11Call::check(const char* name, CK_RV rv) const {
    if (rv != CKR_OK)
        throw Pkcs11Failure(module_, name, rv);
}

CK_RV Pkcs11Call::remember(const char* name, CK_RV rv) const {
    if (rv == CKR_OK)
        return rv;
    FailureRecord& last = failureRecord();
    std::lock_guard<std::mutex> lock(last.mutex);
    last.text = failureText(module_, name, rv);
    return rv;
}

std::string lastPkcs11Failure() {
    FailureRecord& last = failureRecord();
    std::lock_guard<std::mutex> lock(last.mutex);
    return last.text;
}

void forgetPkcs11Failure() {
    FailureRecord& last = failureRecord();
    std::lock_guard<std::mutex> lock(last.mutex);
    last.text.clear();
}

} // namespace quillard::pkcs11
