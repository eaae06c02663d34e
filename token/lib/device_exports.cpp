// The exported functions that describe the library's own devices and files without starting it: the device
// folder of the virtual keys, the device path of every plugged virtual key, the provider name the library's
// certificate store answers to, and the file the maker's module names stand for (the library itself). They
// hold the library lock like the key functions, and none of them needs init_pkcs11.
#include "quillard.h"

#include "library_state.h"
#include "paths.h"
#include "quillard_errors.h"
#include "token/lib/softkey/key_files.h"
#include "token/lib/softkey/virtual_key_manager.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

using namespace quillard;

namespace {

constexpr const char* kProviderName = "Norvale Tessra Zarto CSP V1.1";
// The maker's provider module: the library plays its part too, through its certificate store.
constexpr const char* kProviderModuleStem = "zartocsp11";
// The virtual keys carry no vendor id of their own; the maker's product id alone identifies them.
constexpr unsigned kVirtualVendorId = 0x0000;
constexpr const char* kUsbDeviceClass = "{A5DCBF10-6530-11D2-901F-00C04FB951ED}";

using Lock = std::lock_guard<std::recursive_mutex>;

// Copies `bytes` into the caller's buffer of *length bytes; QR_BUFFER_TOO_SMALL with the needed size in
// *length when they do not fit.
int32_t copyBytes(const std::string& bytes, char* buffer, int32_t* length) {
    const auto needed = static_cast<int32_t>(bytes.size());
    if (*length < needed) {
        *length = needed;
        return QR_BUFFER_TOO_SMALL;
    }
    std::memcpy(buffer, bytes.data(), bytes.size());
    *length = needed;
    return QR_OK;
}

// The text with its terminating NUL.
std::string withNul(std::string text) {
    text.push_back('\0');
    return text;
}

std::string devicePath(const VirtualKeyStatus& key) {
    char ids[32];
    std::snprintf(ids, sizeof ids, "VID_%04X&PID_%04X", kVirtualVendorId, unsigned(key.productId) & 0xFFFF);
    return std::string("\\\\?\\USB#") + ids + "#" + key.serial + "#" + kUsbDeviceClass;
}

// The file the library itself was loaded from.
std::string ownFile() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<const void*>(&quillard_module_file), &info) == 0 || !info.dli_fname)
        return {};
    return info.dli_fname;
}

bool isProviderModule(const std::string& moduleName) {
    return moduleStem(moduleName) == kProviderModuleStem;
}

} // namespace

extern "C" {

int32_t quillard_virtual_key_folder(char* buffer, int32_t* length) {
    if (!buffer || !length || *length < 0)
        return QR_ARGUMENTS_BAD;
    return copyBytes(withNul(keysFolder().string()), buffer, length);
}

int32_t quillard_virtual_key_devices(char* buffer, int32_t* length) {
    if (!buffer || !length || *length < 0)
        return QR_ARGUMENTS_BAD;
    Lock lock(libraryState().lock);
    VirtualKeyManager manager;
    std::string packed;
    for (const std::string& serial : softkey::KeyFiles::serialsIn(keysFolder())) {
        VirtualKeyStatus status;
        // A key pulled out between the listing and the read is simply not reported.
        if (manager.status(serial, status) != QR_OK || !status.plugged)
            continue;
        packed += withNul(devicePath(status));
    }
    return copyBytes(packed, buffer, length);
}

const char* quillard_provider_name(void) {
    return kProviderName;
}

int32_t quillard_module_file(const char* module_name, char* buffer, int32_t* length) {
    if (!module_name || !buffer || !length || *length < 0)
        return QR_ARGUMENTS_BAD;
    if (!isMakerModule(module_name) && !isProviderModule(module_name))
        return QR_MODULE_NOT_FOUND;
    const std::string file = ownFile();
    if (file.empty())
        return QR_GENERAL_ERROR;
    return copyBytes(withNul(file), buffer, length);
}

} // extern "C"
