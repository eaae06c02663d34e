// The exported C functions of libquillard. Each one checks its arguments, takes the library lock, translates
// the caller's buffers to and from the driver's C++ types and returns the driver's result.
#include "quillard.h"

#include "cert_info.h"
#include "cert_store.h"
#include "cert_text.h"
#include "credential_parser.h"
#include "error_names.h"
#include "export_support.h"
#include "library_state.h"
#include "nss_registration.h"
#include "paths.h"
#include "quillard_errors.h"
#include "token/lib/pkcs11/pkcs11_call.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <mutex>
#include <span>
#include <string>

using namespace quillard;

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

void copyUtf16(uint16_t* buffer, std::size_t units, const std::u16string& text) {
    std::fill(buffer, buffer + units, 0);
    std::copy_n(text.begin(), std::min(text.size(), units - 1), buffer);
}

// The label of a token_set_label buffer: the bytes before the first NUL of the 64.
std::string labelFromBuffer(const char* buffer) {
    return std::string(buffer, strnlen(buffer, 64));
}

std::string fieldText(const char* field, std::size_t size) {
    return std::string(field, strnlen(field, size));
}

// True when nothing but zero bytes follows the field's text: a text with a zero byte inside would otherwise
// reach the key cut short (a PIN nobody typed).
bool zeroPadded(const char* field, std::size_t size) {
    const std::size_t length = strnlen(field, size);
    return std::all_of(field + length, field + size, [](char c) { return c == '\0'; });
}

bool fieldsZeroPadded(const TFormatParams& params) {
    return zeroPadded(params.label, sizeof params.label) &&
           zeroPadded(params.manufacturer, sizeof params.manufacturer) &&
           zeroPadded(params.issuer, sizeof params.issuer) &&
           zeroPadded(params.so_pin, sizeof params.so_pin) &&
           zeroPadded(params.user_pin, sizeof params.user_pin);
}

FormatSettings formatSettingsFrom(const TFormatParams& params) {
    FormatSettings settings;
    settings.label = fieldText(params.label, sizeof params.label);
    settings.manufacturer = fieldText(params.manufacturer, sizeof params.manufacturer);
    settings.issuer = fieldText(params.issuer, sizeof params.issuer);
    settings.soPin = SecureString(params.so_pin, strnlen(params.so_pin, sizeof params.so_pin));
    settings.userPin = SecureString(params.user_pin, strnlen(params.user_pin, sizeof params.user_pin));
    settings.userPinRetries = params.user_pin_retries;
    settings.soPinRetries = params.so_pin_retries;
    settings.userPinMinLength = params.user_pin_min_len;
    settings.userPinMaxLength = params.user_pin_max_len;
    settings.soPinMinLength = params.so_pin_min_len;
    settings.soPinMaxLength = params.so_pin_max_len;
    return settings;
}

} // namespace

extern "C" {

int32_t init_pkcs11(const char* module_name) {
    LibraryState& state = libraryState();
    Lock lock(state.lock);
    if (state.driver)
        return QR_CRYPTOKI_ALREADY_INITIALIZED;
    return makeDriver(module_name, state.driver, state.modulesInBackground);
}

int32_t quillard_start_modules_in_background(int32_t in_background) {
    LibraryState& state = libraryState();
    Lock lock(state.lock);
    state.modulesInBackground = in_background != 0;
    return QR_OK;
}

int32_t uninit_pkcs11(void) {
    LibraryState& state = libraryState();
    Lock lock(state.lock);
    state.driver.reset();
    state.parsedPkcs12.clear();
    pkcs11::forgetPkcs11Failure();
    forgetCertInfos();
    return QR_OK;
}

int32_t token_find(int32_t* list, int32_t* count) {
    if (!list || !count || *count < 0)
        return QR_ARGUMENTS_BAD;
    return withDriver([&](Driver& driver) -> int32_t {
        std::vector<std::string> serials;
        Result result = driver.find(serials);
        if (result != QR_OK)
            return result;
        int32_t found = static_cast<int32_t>(std::min<std::size_t>(serials.size(), *count));
        for (int32_t i = 0; i < found; ++i)
            list[i] = i;
        *count = found;
        return QR_OK;
    });
}

int32_t token_connect(int32_t idx) {
    return withDriver([&](Driver& driver) -> int32_t { return driver.connect(idx); });
}

int32_t token_get_info(int32_t idx, char* serial, char* label, char* manufacturer, char* model,
                       int32_t* max_pin_len, int32_t* min_pin_len, int32_t* max_so_pin_len,
                       int32_t* min_so_pin_len, int32_t* total_memory, int32_t* free_memory,
                       int32_t* hardware_version, int32_t* firmware_version, int32_t* initialised) {
    if (!serial || !label || !manufacturer || !model || !max_pin_len || !min_pin_len || !max_so_pin_len ||
        !min_so_pin_len || !total_memory || !free_memory || !hardware_version || !firmware_version ||
        !initialised)
        return QR_ARGUMENTS_BAD;
    return withDriver([&](Driver& driver) -> int32_t {
        KeyInfo info;
        Result result = driver.getInfo(idx, info);
        if (result != QR_OK)
            return result;
        copyText(serial, 33, info.serial);
        copyText(label, 129, info.label);
        copyText(manufacturer, 65, info.manufacturer);
        copyText(model, 65, info.model);
        *max_pin_len = info.maxPinLength;
        *min_pin_len = info.minPinLength;
        *max_so_pin_len = info.maxSoPinLength;
        *min_so_pin_len = info.minSoPinLength;
        *total_memory = info.totalMemory;
        *free_memory = info.freeMemory;
        *hardware_version = info.hardwareVersion;
        *firmware_version = info.firmwareVersion;
        *initialised = info.initialised;
        return QR_OK;
    });
}

int32_t token_get_pin_state(int32_t idx, int32_t user_type, int32_t* retries_left, int32_t* max_retries,
                            int32_t* min_len, int32_t* max_len, int32_t* locked, int32_t* logged_in) {
    if (!retries_left || !max_retries || !min_len || !max_len || !locked || !logged_in)
        return QR_ARGUMENTS_BAD;
    return withDriver([&](Driver& driver) -> int32_t {
        PinState state;
        Result result =
            driver.getPinState(idx, user_type == 1 ? PinKind::User : PinKind::SecurityOfficer, state);
        if (result != QR_OK)
            return result;
        *retries_left = state.retriesLeft;
        *max_retries = state.maxRetries;
        *min_len = state.minLength;
        *max_len = state.maxLength;
        *locked = state.locked;
        *logged_in = state.loggedIn;
        return QR_OK;
    });
}

// A call given no PINs leaves them to the reader's pad, which only a PIN-pad token has; a call given some
// PINs and not others is refused. QR_OK when the PINs may be used as given.
static Result pinsFromPadAllowed(Driver& driver, int32_t idx, std::initializer_list<const char*> pins) {
    const auto given =
        std::count_if(pins.begin(), pins.end(), [](const char* pin) { return pin != nullptr; });
    if (given == static_cast<std::ptrdiff_t>(pins.size()))
        return QR_OK;
    if (given > 0)
        return QR_ARGUMENTS_BAD;
    int32_t flags = 0;
    if (const Result result = driver.tokenFlags(idx, flags); result != QR_OK)
        return result;
    return (flags & QUILLARD_TOKEN_PIN_PAD) ? QR_OK : QR_ARGUMENTS_BAD;
}

static SecureString givenPin(const char* pin) {
    return SecureString(pin ? pin : "");
}

static int32_t loginAs(int32_t idx, PinKind kind, const char* pin, int32_t* retries_left) {
    if (!retries_left)
        return QR_ARGUMENTS_BAD;
    return withDriver([&](Driver& driver) -> int32_t {
        if (const Result result = pinsFromPadAllowed(driver, idx, {pin}); result != QR_OK)
            return result;
        return driver.login(idx, kind, givenPin(pin), *retries_left);
    });
}

int32_t token_login(int32_t idx, const char* user_pin, int32_t* retries_left) {
    return loginAs(idx, PinKind::User, user_pin, retries_left);
}

int32_t token_login_so(int32_t idx, const char* so_pin, int32_t* retries_left) {
    return loginAs(idx, PinKind::SecurityOfficer, so_pin, retries_left);
}

int32_t token_logout(int32_t idx) {
    return withDriver([&](Driver& driver) -> int32_t { return driver.logout(idx); });
}

static int32_t changePinOf(int32_t idx, PinKind kind, const char* old_pin, const char* new_pin) {
    return withDriver([&](Driver& driver) -> int32_t {
        if (const Result result = pinsFromPadAllowed(driver, idx, {old_pin, new_pin}); result != QR_OK)
            return result;
        return driver.changePin(idx, kind, givenPin(old_pin), givenPin(new_pin));
    });
}

int32_t token_change_upin(int32_t idx, const char* old_pin, const char* new_pin) {
    return changePinOf(idx, PinKind::User, old_pin, new_pin);
}

int32_t token_change_sopin(int32_t idx, const char* old_so_pin, const char* new_so_pin) {
    return changePinOf(idx, PinKind::SecurityOfficer, old_so_pin, new_so_pin);
}

int32_t token_set_upin(int32_t idx, const char* so_pin, const char* new_user_pin) {
    return withDriver([&](Driver& driver) -> int32_t {
        if (const Result result = pinsFromPadAllowed(driver, idx, {so_pin, new_user_pin}); result != QR_OK)
            return result;
        return driver.unlockUserPin(idx, givenPin(so_pin), givenPin(new_user_pin));
    });
}

int32_t token_set_label(int32_t idx, const char* label) {
    if (!label)
        return QR_ARGUMENTS_BAD;
    std::string text = labelFromBuffer(label);
    if (text.size() >= 32)
        return QR_ARGUMENTS_BAD;
    return withDriver([&](Driver& driver) -> int32_t { return driver.setLabel(idx, text); });
}

int32_t token_format(int32_t idx, const TFormatParams* params) {
    if (!params || !fieldsZeroPadded(*params))
        return QR_ARGUMENTS_BAD;
    return withDriver(
        [&](Driver& driver) -> int32_t { return driver.format(idx, formatSettingsFrom(*params)); });
}

int32_t token_write_sectors(int32_t idx, uint32_t first_sector, uint32_t sector_count, const void* data) {
    if (!data && sector_count > 0)
        return QR_ARGUMENTS_BAD;
    return withDriver([&](Driver& driver) -> int32_t {
        return driver.writeSectors(idx, first_sector, sector_count, static_cast<const uint8_t*>(data));
    });
}

int32_t token_reload_all_objects(int32_t idx) {
    return withDriver([&](Driver& driver) -> int32_t { return driver.reloadObjects(idx); });
}

int32_t container_load_all(int32_t idx, char* buffer, int32_t* length) {
    if (!buffer || !length || *length < 0)
        return QR_ARGUMENTS_BAD;
    return withDriver([&](Driver& driver) -> int32_t {
        std::vector<std::string> names;
        Result result = driver.listContainers(idx, names);
        if (result != QR_OK)
            return result;
        std::vector<uint8_t> packed;
        for (const std::string& name : names) {
            packed.insert(packed.end(), name.begin(), name.end());
            packed.push_back(0);
        }
        return copyOut(packed, reinterpret_cast<uint8_t*>(buffer), length);
    });
}

int32_t container_create_new(int32_t idx, const char* name) {
    if (!name || !*name)
        return QR_ARGUMENTS_BAD;
    return withDriver([&](Driver& driver) -> int32_t { return driver.createContainer(idx, name); });
}

int32_t container_delete(int32_t idx, const char* name) {
    if (!name)
        return QR_ARGUMENTS_BAD;
    return withDriver([&](Driver& driver) -> int32_t { return driver.deleteContainer(idx, name); });
}

int32_t container_delete_cert(int32_t idx, const char* name, int32_t spec) {
    if (!name || !validSpec(spec))
        return QR_ARGUMENTS_BAD;
    return withDriver([&](Driver& driver) -> int32_t { return driver.deleteCertificate(idx, name, spec); });
}

int32_t container_get_cert(int32_t idx, const char* name, int32_t spec, uint8_t* buffer, int32_t* length) {
    if (!name || !buffer || !length || *length < 0 || !validSpec(spec))
        return QR_ARGUMENTS_BAD;
    return withDriver([&](Driver& driver) -> int32_t {
        std::vector<uint8_t> der;
        Result result = driver.getCertificate(idx, name, spec, der);
        return result != QR_OK ? result : copyOut(der, buffer, length);
    });
}

int32_t container_get_pubkey(int32_t idx, const char* name, int32_t spec, int32_t* algorithm, int32_t* bits,
                             uint8_t* buffer, int32_t* length) {
    if (!name || !algorithm || !bits || !buffer || !length || *length < 0 || !validSpec(spec))
        return QR_ARGUMENTS_BAD;
    return withDriver([&](Driver& driver) -> int32_t {
        KeyDescription key;
        Result result = driver.getPublicKey(idx, name, spec, key);
        if (result != QR_OK)
            return result;
        *algorithm = key.algorithm;
        *bits = key.bits;
        return copyOut(key.publicKeyDer, buffer, length);
    });
}

int32_t container_get_prikey(int32_t idx, const char* name, int32_t spec, int32_t* algorithm, int32_t* bits) {
    if (!name || !algorithm || !bits || !validSpec(spec))
        return QR_ARGUMENTS_BAD;
    return withDriver([&](Driver& driver) -> int32_t {
        KeyDescription key;
        Result result = driver.getPrivateKey(idx, name, spec, key);
        if (result == QR_OK) {
            *algorithm = key.algorithm;
            *bits = key.bits;
        }
        return result;
    });
}

int32_t helper_get_cert_info2(const uint8_t* cert, int32_t length, uint16_t* subject, uint16_t* issuer,
                              int32_t* version, char* serial, int32_t* valid_from, int32_t* valid_to,
                              int32_t* algorithm) {
    if (!cert || length <= 0 || !subject || !issuer || !version || !serial || !valid_from || !valid_to ||
        !algorithm)
        return QR_ARGUMENTS_BAD;
    CertInfo info;
    Result result = readCertInfo(cert, static_cast<std::size_t>(length), info);
    if (result != QR_OK)
        return result;
    copyUtf16(subject, 257, info.subject);
    copyUtf16(issuer, 257, info.issuer);
    *version = info.version;
    copyText(serial, 257, info.serial);
    std::copy(info.validFrom.begin(), info.validFrom.end(), valid_from);
    std::copy(info.validTo.begin(), info.validTo.end(), valid_to);
    *algorithm = info.algorithm;
    return QR_OK;
}

int32_t helper_show_cert_ui(void* owner, const uint8_t* cert, int32_t length) {
    if (!cert || length <= 0)
        return QR_ARGUMENTS_BAD;
    quillard_cert_display_handler handler;
    void* context;
    {
        LibraryState& state = libraryState();
        Lock lock(state.lock);
        handler = state.displayHandler;
        context = state.displayContext;
    }
    // The handler runs without the lock: a dialog may stay open while other calls go on.
    return handler ? handler(owner, cert, length, context) : QR_NO_DISPLAY_HANDLER;
}

int32_t helper_get_cert_text(const uint8_t* cert, int32_t length, int32_t field, char* text,
                             int32_t* text_length) {
    if (!cert || length <= 0 || !text_length || *text_length < 0 || (*text_length > 0 && !text))
        return QR_ARGUMENTS_BAD;
    std::string value;
    if (Result result = certificateText(cert, static_cast<std::size_t>(length), field, value);
        result != QR_OK)
        return result;
    const std::vector<uint8_t> bytes(value.c_str(), value.c_str() + value.size() + 1);
    return copyOut(bytes, reinterpret_cast<uint8_t*>(text), text_length);
}

int32_t pkcs12_file_parse(const char* path, const char* password, int32_t* entries) {
    if (!path || !entries)
        return QR_ARGUMENTS_BAD;
    std::vector<Credential> parsed;
    // A file that opens but holds no key with its certificate answers 0 entries, not an error, so the caller
    // can tell the user the file is unusable rather than that the password is wrong.
    Result result = parsePkcs12Entries(path, SecureString(password ? password : ""), parsed);
    LibraryState& state = libraryState();
    Lock lock(state.lock);
    state.parsedPkcs12.clear();
    if (result != QR_OK)
        return result;
    state.parsedPkcs12 = std::move(parsed);
    *entries = static_cast<int32_t>(state.parsedPkcs12.size());
    return QR_OK;
}

int32_t pkcs12_import_certificate(int32_t idx, const char* container, int32_t spec, int32_t entry) {
    if (!container || !validSpec(spec))
        return QR_ARGUMENTS_BAD;
    return withDriver([&](Driver& driver) -> int32_t {
        const std::vector<Credential>& parsed = libraryState().parsedPkcs12;
        if (parsed.empty())
            return QR_OPERATION_NOT_INITIALIZED;
        if (entry < 0 || static_cast<std::size_t>(entry) >= parsed.size())
            return QR_ARGUMENTS_BAD;
        return driver.importCredential(idx, container, spec, parsed[entry]);
    });
}

int32_t x509_import_certificate(int32_t idx, const char* container, int32_t spec, const char* path) {
    if (!container || !path || !validSpec(spec))
        return QR_ARGUMENTS_BAD;
    Credential credential;
    Result result = parseCertificateFile(path, credential);
    if (result != QR_OK)
        return result;
    return withDriver(
        [&](Driver& driver) -> int32_t { return driver.importCredential(idx, container, spec, credential); });
}

int32_t container_addcert_to_store(const char* container, const char* csp_name, int32_t spec,
                                   const uint8_t* cert, int32_t length) {
    if (!container || !csp_name || !cert || length <= 0 || !validSpec(spec))
        return QR_ARGUMENTS_BAD;
    LibraryState& state = libraryState();
    Lock lock(state.lock);
    CertStore store(certStorePath());
    Result result = store.add(container, csp_name, spec,
                              std::span<const uint8_t>(cert, static_cast<std::size_t>(length)));
    // The certificates registered are usable in NSS programs (Chromium) through the virtual-key module.
    return result == QR_OK ? NssRegistration().add() : result;
}

int32_t remove_all_certs_from_store(const char* csp_name) {
    if (!csp_name)
        return QR_ARGUMENTS_BAD;
    LibraryState& state = libraryState();
    Lock lock(state.lock);
    CertStore store(certStorePath());
    Result result = store.removeAllForCsp(csp_name);
    return result == QR_OK ? NssRegistration().remove() : result;
}

int32_t quillard_tokens_changed(int32_t* changed) {
    if (!changed)
        return QR_ARGUMENTS_BAD;
    return withDriver([&](Driver& driver) -> int32_t {
        bool differs = false;
        Result result = driver.presenceChanged(differs);
        *changed = differs ? 1 : 0;
        return result;
    });
}

int32_t quillard_last_failure(char* buffer, int32_t* length) {
    if (!length || *length < 0 || (*length > 0 && !buffer))
        return QR_ARGUMENTS_BAD;
    const std::string text = pkcs11::lastPkcs11Failure();
    const std::vector<uint8_t> bytes(text.c_str(), text.c_str() + text.size() + 1);
    return copyOut(bytes, reinterpret_cast<uint8_t*>(buffer), length);
}

int32_t quillard_key_module(int32_t idx, char* buffer, int32_t* length) {
    if (!length || *length < 0 || (*length > 0 && !buffer))
        return QR_ARGUMENTS_BAD;
    return withDriver([&](Driver& driver) -> int32_t {
        std::string name;
        if (const Result result = driver.moduleName(idx, name); result != QR_OK)
            return result;
        const std::vector<uint8_t> bytes(name.c_str(), name.c_str() + name.size() + 1);
        return copyOut(bytes, reinterpret_cast<uint8_t*>(buffer), length);
    });
}

int32_t quillard_disk_size(int32_t idx, uint64_t* bytes) {
    if (!bytes)
        return QR_ARGUMENTS_BAD;
    return withDriver([&](Driver& driver) -> int32_t { return driver.diskSize(idx, *bytes); });
}

int32_t quillard_token_flags(int32_t idx, int32_t* flags) {
    if (!flags)
        return QR_ARGUMENTS_BAD;
    return withDriver([&](Driver& driver) -> int32_t { return driver.tokenFlags(idx, *flags); });
}

const char* quillard_error_name(int32_t code) {
    return errorName(code);
}

void quillard_set_cert_display_handler(quillard_cert_display_handler handler, void* context) {
    LibraryState& state = libraryState();
    Lock lock(state.lock);
    state.displayHandler = handler;
    state.displayContext = context;
}

int32_t pkcs12_entry_certificate(int32_t entry, uint8_t* buffer, int32_t* length) {
    if (!length || *length < 0 || (*length > 0 && !buffer))
        return QR_ARGUMENTS_BAD;
    LibraryState& state = libraryState();
    Lock lock(state.lock);
    if (state.parsedPkcs12.empty())
        return QR_OPERATION_NOT_INITIALIZED;
    if (entry < 0 || static_cast<std::size_t>(entry) >= state.parsedPkcs12.size())
        return QR_ARGUMENTS_BAD;
    return copyOut(state.parsedPkcs12[entry].certificateDer, buffer, length);
}

int32_t x509_file_certificate(const char* path, uint8_t* buffer, int32_t* length) {
    if (!path || !length || *length < 0 || (*length > 0 && !buffer))
        return QR_ARGUMENTS_BAD;
    Credential credential;
    if (Result result = parseCertificateFile(path, credential); result != QR_OK)
        return result;
    return copyOut(credential.certificateDer, buffer, length);
}

int32_t token_get_pin_count_low(int32_t idx, int32_t user_type, int32_t* count_low) {
    if (!count_low)
        return QR_ARGUMENTS_BAD;
    return withDriver([&](Driver& driver) -> int32_t {
        PinState state;
        Result result =
            driver.getPinState(idx, user_type == 1 ? PinKind::User : PinKind::SecurityOfficer, state);
        if (result == QR_OK)
            *count_low = state.countLow;
        return result;
    });
}

} // extern "C"
