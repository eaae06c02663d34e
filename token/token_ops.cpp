#include "token_ops.h"

#include "quillard_api.h"
#include "token/lib/quillard_errors.h"
#include "utf16.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <vector>

namespace token {

namespace {

const QuillardApi& api() {
    return quillardApi();
}

constexpr int32_t kContainerListBufferSize = 8192;
// Room first offered for a certificate and for a public key, enough for nearly every one. The library says
// how much a longer one needs, and it is asked again with that room, at most 64 KiB.
constexpr int32_t kFirstCertificateRoom = 4096;
constexpr int32_t kFirstPublicKeyRoom = 2048;
constexpr int32_t kLargestPublicKey = 65536;
constexpr std::size_t kCertNameUnits = 257;
constexpr std::size_t kSerialBytes = 257;

std::string formatDate(const std::array<int32_t, 9>& date) {
    char text[64];
    std::snprintf(text, sizeof text, "%.4d-%.2d-%.2d", date[0], date[1], date[2]);
    return text;
}

// The names in the first `length` bytes of `buffer`, split at NUL bytes; empty pieces are dropped.
std::vector<std::string> splitNames(const char* buffer, int32_t length) {
    std::vector<std::string> names;
    std::string piece;
    for (int32_t i = 0; i < length; ++i) {
        if (buffer[i] != '\0') {
            piece += buffer[i];
        } else if (!piece.empty()) {
            names.push_back(std::move(piece));
            piece.clear();
        }
    }
    if (!piece.empty())
        names.push_back(std::move(piece));
    return names;
}

// Reads the certificate of `spec` into info.certificate, sized to it.
int32_t readCertificate(int32_t idx, const std::string& container, int32_t spec, TZartoCertInfo& info) {
    int32_t room = kFirstCertificateRoom;
    for (;;) {
        info.certificate.resize(static_cast<std::size_t>(room));
        info.certificateLength = room;
        int32_t result = api().container_get_cert(idx, container.c_str(), spec, info.certificate.data(),
                                                  &info.certificateLength);
        if (result == QR_BUFFER_TOO_SMALL && info.certificateLength > room &&
            info.certificateLength <= kCertificateBufferSize) {
            room = info.certificateLength;
            continue;
        }
        if (result != 0) {
            info.certificate.clear();
            return result;
        }
        info.certificateLength = std::clamp(info.certificateLength, 0, room);
        info.certificate.resize(static_cast<std::size_t>(info.certificateLength));
        return 0;
    }
}

// container_get_pubkey for the key's algorithm and bits only; the key's bytes are dropped.
int32_t readPublicKeyKind(int32_t idx, const std::string& container, int32_t spec, int32_t& algorithm,
                          int32_t& bits) {
    std::array<uint8_t, kFirstPublicKeyRoom> room;
    int32_t length = kFirstPublicKeyRoom;
    int32_t result =
        api().container_get_pubkey(idx, container.c_str(), spec, &algorithm, &bits, room.data(), &length);
    if (result != QR_BUFFER_TOO_SMALL || length <= kFirstPublicKeyRoom || length > kLargestPublicKey)
        return result;
    std::vector<uint8_t> larger(static_cast<std::size_t>(length));
    return api().container_get_pubkey(idx, container.c_str(), spec, &algorithm, &bits, larger.data(),
                                      &length);
}

constexpr int32_t kLibraryTextBufferSize = 4096;

// Runs `read(buffer, length)` into `bytes`, once more with the size the library asks for when the first
// buffer is too small; `bytes` keeps what the library wrote.
template <typename Read> int32_t readLibraryBytes(std::vector<char>& bytes, Read read) {
    bytes.assign(kLibraryTextBufferSize, '\0');
    int32_t length = kLibraryTextBufferSize;
    int32_t result = read(bytes.data(), &length);
    if (result == QR_BUFFER_TOO_SMALL && length > kLibraryTextBufferSize) {
        bytes.assign(length, '\0');
        result = read(bytes.data(), &length);
    }
    bytes.resize(result == 0 ? std::clamp(length, 0, static_cast<int32_t>(bytes.size())) : 0);
    return result;
}

} // namespace

int32_t init_pkcs11(const std::string& moduleName) {
    return api().init_pkcs11(moduleName.c_str());
}

int32_t init_pkcs11_modules_in_background(const std::string& moduleName) {
    api().quillard_start_modules_in_background(1);
    return api().init_pkcs11(moduleName.c_str());
}

void uninit_pkcs11() {
    api().uninit_pkcs11();
}

std::string quillard_virtual_key_folder() {
    std::vector<char> bytes;
    if (readLibraryBytes(bytes, [](char* buffer, int32_t* length) {
            return api().quillard_virtual_key_folder(buffer, length);
        }) != 0)
        return {};
    return std::string(bytes.data(), strnlen(bytes.data(), bytes.size()));
}

int32_t quillard_virtual_key_devices(std::vector<std::string>& paths) {
    std::vector<char> bytes;
    const int32_t result = readLibraryBytes(bytes, [](char* buffer, int32_t* length) {
        return api().quillard_virtual_key_devices(buffer, length);
    });
    paths = result == 0 ? splitNames(bytes.data(), static_cast<int32_t>(bytes.size()))
                        : std::vector<std::string>{};
    return result;
}

std::string quillard_provider_name() {
    const char* name = api().quillard_provider_name();
    return name ? name : "";
}

std::string quillard_module_file(const std::string& moduleName) {
    std::vector<char> bytes;
    if (readLibraryBytes(bytes, [&moduleName](char* buffer, int32_t* length) {
            return api().quillard_module_file(moduleName.c_str(), buffer, length);
        }) != 0)
        return {};
    return std::string(bytes.data(), strnlen(bytes.data(), bytes.size()));
}

std::string quillard_key_module(int32_t idx) {
    std::vector<char> bytes;
    if (readLibraryBytes(bytes, [idx](char* buffer, int32_t* length) {
            return api().quillard_key_module(idx, buffer, length);
        }) != 0)
        return {};
    return std::string(bytes.data(), strnlen(bytes.data(), bytes.size()));
}

int32_t quillard_disk_size(int32_t idx, uint64_t& bytes) {
    return api().quillard_disk_size(idx, &bytes);
}

bool quillard_tokens_changed() {
    int32_t changed = 0;
    return api().quillard_tokens_changed(&changed) == 0 && changed != 0;
}

int32_t token_find(int32_t& keyCount) {
    std::array<int32_t, kMaxKeysFound> list{};
    int32_t count = kMaxKeysFound;
    int32_t result = api().token_find(list.data(), &count);
    if (result != 0 || count <= 0) {
        keyCount = keyTable().keyCount = 0;
        return 1;
    }
    count = std::min(count, kMaxKeysFound); // a scan never reports more keys than the list holds
    for (int32_t idx = 0; idx < count; ++idx)
        result = api().token_connect(idx);
    keyCount = keyTable().keyCount = count;
    return result;
}

int32_t token_get_info(int32_t idx, TZartoInfo& record) {
    return api().token_get_info(idx, record.serial, record.label, record.manufacturer, record.model,
                                &record.maxPinLength, &record.minPinLength, &record.maxSoPinLength,
                                &record.minSoPinLength, &record.totalMemory, &record.freeMemory,
                                &record.hardwareVersion, &record.firmwareVersion, &record.initialised);
}

void token_get_pin_state(int32_t idx, PinType type, TPinState& state) {
    state = TPinState{};
    api().token_get_pin_state(idx, static_cast<int32_t>(type), &state.retriesLeft, &state.maxRetries,
                              &state.reserved2, &state.reserved3, &state.locked, &state.reserved5);
}

int32_t token_login(int32_t idx, const char* userPin, int32_t& retriesLeft) {
    return api().token_login(idx, userPin, &retriesLeft);
}

int32_t token_login_so(int32_t idx, const char* soPin, int32_t& retriesLeft) {
    return api().token_login_so(idx, soPin, &retriesLeft);
}

int32_t token_logout(int32_t idx) {
    return api().token_logout(idx);
}

int32_t token_reload_all_objects(int32_t idx) {
    return api().token_reload_all_objects(idx);
}

int32_t token_change_upin(int32_t idx, const char* oldPin, const char* newPin) {
    return api().token_change_upin(idx, oldPin, newPin);
}

int32_t token_change_sopin(int32_t idx, const char* oldSoPin, const char* newSoPin) {
    return api().token_change_sopin(idx, oldSoPin, newSoPin);
}

int32_t token_set_upin(int32_t idx, const char* soPin, const char* newUserPin) {
    return api().token_set_upin(idx, soPin, newUserPin);
}

int32_t token_set_label(int32_t idx, const std::u16string& label) {
    std::string utf8 = utf16ToUtf8(label);
    char buffer[64] = {};
    std::memcpy(buffer, utf8.data(), std::min<std::size_t>(utf8.size(), sizeof buffer - 1));
    return api().token_set_label(idx, buffer);
}

int32_t token_format(int32_t idx, const TFormatParams& params) {
    return api().token_format(idx, &params);
}

int32_t token_write_sectors(int32_t idx, uint32_t firstSector, uint32_t sectorCount, const void* data) {
    return api().token_write_sectors(idx, firstSector, sectorCount, data);
}

int32_t LoadContainerList(int32_t idx, TZartoInfo& record) {
    std::vector<char> buffer(kContainerListBufferSize, '\0');
    int32_t length = kContainerListBufferSize;
    int32_t result = api().container_load_all(idx, buffer.data(), &length);
    if (result != 0)
        return result;
    length = std::clamp(length, 0, kContainerListBufferSize);
    std::vector<std::string> names = splitNames(buffer.data(), length);
    // The record holds at most 65 names; a key reporting more shows the first 65.
    std::size_t kept = std::min<std::size_t>(names.size(), kMaxContainers);
    for (std::size_t i = 0; i < kept; ++i)
        record.containerNames[i] = std::move(names[i]);
    record.containerCount = static_cast<int32_t>(kept);
    return 0;
}

int32_t container_create_new(int32_t idx, const std::string& container) {
    return api().container_create_new(idx, container.c_str());
}

int32_t container_delete(int32_t idx, const std::string& container) {
    return api().container_delete(idx, container.c_str());
}

int32_t container_delete_cert(int32_t idx, const std::string& container, int32_t spec) {
    return api().container_delete_cert(idx, container.c_str(), spec);
}

int32_t container_get_cert(int32_t idx, const std::string& container, int32_t spec, uint8_t* buffer,
                           int32_t& length) {
    return api().container_get_cert(idx, container.c_str(), spec, buffer, &length);
}

int32_t ReadCertInfo(int32_t idx, const std::string& container, int32_t spec, TZartoCertInfo& info) {
    int32_t result = readCertificate(idx, container, spec, info);
    if (result != 0)
        return result;
    readPublicKeyKind(idx, container, spec, info.keyType, info.keyBits); // its result is not examined

    std::array<uint16_t, kCertNameUnits> subject{}, issuer{};
    std::array<char, kSerialBytes> serial{};
    std::array<int32_t, 9> from{}, to{};
    int32_t version = 0, algorithm = 0;
    result = api().helper_get_cert_info2(info.certificate.data(), info.certificateLength, subject.data(),
                                         issuer.data(), &version, serial.data(), from.data(), to.data(),
                                         &algorithm);
    if (result != 0)
        return result;
    info.subject = utf16FromBuffer(subject.data(), kCertNameUnits);
    info.issuer = utf16FromBuffer(issuer.data(), kCertNameUnits);
    info.version = version;
    info.serialNumber.assign(serial.data(), strnlen(serial.data(), kSerialBytes));
    info.validFromText = formatDate(from);
    info.validToText = formatDate(to);
    std::fill(info.validFrom.begin(), info.validFrom.end(), 0);
    std::fill(info.validTo.begin(), info.validTo.end(), 0);
    std::copy_n(from.begin(), 3, info.validFrom.begin());
    std::copy_n(to.begin(), 3, info.validTo.begin());
    info.algorithm = algorithm;
    return 0;
}

int32_t container_get_pubkey(int32_t idx, const std::string& container, int32_t spec, int32_t& algorithm) {
    int32_t bits = 0;
    return readPublicKeyKind(idx, container, spec, algorithm, bits);
}

int32_t container_get_prikey(int32_t idx, const std::string& container, int32_t spec, int32_t& algorithm) {
    int32_t discarded = 0;
    return api().container_get_prikey(idx, container.c_str(), spec, &algorithm, &discarded);
}

int32_t helper_show_cert_ui(void* owner, const uint8_t* cert, int32_t length) {
    return api().helper_show_cert_ui(owner, cert, length);
}

void set_cert_display_handler(quillard_cert_display_handler handler, void* context) {
    api().quillard_set_cert_display_handler(handler, context);
}

int32_t helper_get_cert_text(const uint8_t* cert, int32_t length, int32_t field, std::string& text) {
    int32_t needed = 0;
    int32_t result = api().helper_get_cert_text(cert, length, field, nullptr, &needed);
    if (result != 0 && result != QR_BUFFER_TOO_SMALL)
        return result;
    std::string buffer(static_cast<std::size_t>(std::max(needed, 1)), '\0');
    result = api().helper_get_cert_text(cert, length, field, buffer.data(), &needed);
    if (result != 0)
        return result;
    buffer.resize(static_cast<std::size_t>(std::max(needed - 1, 0)));
    text = std::move(buffer);
    return 0;
}

int32_t pkcs12_file_parse(const std::string& path, const char* password, int32_t& entries) {
    return api().pkcs12_file_parse(path.c_str(), password, &entries);
}

int32_t pkcs12_import_certificate(int32_t idx, const std::string& container, int32_t spec, int32_t entry) {
    return api().pkcs12_import_certificate(idx, container.c_str(), spec, entry);
}

int32_t x509_import_certificate(int32_t idx, const std::string& container, int32_t spec,
                                const std::string& path) {
    return api().x509_import_certificate(idx, container.c_str(), spec, path.c_str());
}

int32_t container_addcert_to_store(const std::string& container, const std::string& cspName, int32_t spec,
                                   const uint8_t* cert, int32_t length) {
    return api().container_addcert_to_store(container.c_str(), cspName.c_str(), spec, cert, length);
}

int32_t remove_all_certs_from_store(const std::string& cspName) {
    return api().remove_all_certs_from_store(cspName.c_str());
}

namespace {

// A DER certificate the library copies out, in a buffer as large as the largest certificate a key holds.
template <typename Read> int32_t readCertificateBytes(std::vector<uint8_t>& der, Read read) {
    der.assign(kCertificateBufferSize, 0);
    int32_t length = kCertificateBufferSize;
    const int32_t result = read(der.data(), &length);
    der.resize(result == 0 ? std::clamp(length, 0, kCertificateBufferSize) : 0);
    return result;
}

} // namespace

int32_t pkcs12_entry_certificate(int32_t entry, std::vector<uint8_t>& der) {
    return readCertificateBytes(der, [entry](uint8_t* buffer, int32_t* length) {
        return api().pkcs12_entry_certificate(entry, buffer, length);
    });
}

int32_t x509_file_certificate(const std::string& path, std::vector<uint8_t>& der) {
    return readCertificateBytes(der, [&path](uint8_t* buffer, int32_t* length) {
        return api().x509_file_certificate(path.c_str(), buffer, length);
    });
}

bool token_get_pin_count_low(int32_t idx, PinType type) {
    int32_t countLow = 0;
    return api().token_get_pin_count_low(idx, static_cast<int32_t>(type), &countLow) == 0 && countLow == 1;
}

int32_t quillard_token_flags(int32_t idx) {
    int32_t flags = 0;
    return api().quillard_token_flags(idx, &flags) == 0 ? flags : 0;
}

} // namespace token
