#include "disk_image.h"

#include "softkey_error.h"
#include "token/lib/private_files.h"

#include <fstream>
#include <system_error>

namespace quillard::softkey {

namespace {

[[noreturn]] void throwDeviceError(const std::filesystem::path& file, const std::string& what) {
    throw SoftkeyError(QR_DEVICE_ERROR, what + ": " + file.string());
}

} // namespace

void DiskImage::create(uint64_t bytes) const {
    bool opened = createPrivateFile(file_) == QR_OK &&
                  std::ofstream(file_, std::ios::binary | std::ios::trunc).is_open();
    std::error_code error;
    if (opened)
        std::filesystem::resize_file(file_, bytes, error);
    if (!opened || error)
        throwDeviceError(file_, "cannot create the disk image");
}

void DiskImage::erase() const {
    std::error_code error;
    uint64_t size = std::filesystem::file_size(file_, error);
    if (!error)
        std::filesystem::resize_file(file_, 0, error);
    if (!error)
        std::filesystem::resize_file(file_, size, error);
    if (error)
        throwDeviceError(file_, "cannot erase the disk image");
}

void DiskImage::write(uint64_t offset, const uint8_t* data, std::size_t size) const {
    // in|out opens an existing file without truncating it and never creates one.
    std::fstream image(file_, std::ios::binary | std::ios::in | std::ios::out);
    image.seekp(static_cast<std::streamoff>(offset));
    image.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    image.flush();
    if (!image)
        throwDeviceError(file_, "cannot write the disk image");
}

} // namespace quillard::softkey
