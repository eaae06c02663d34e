// The disk area of a virtual key: a sparse file of whole 2048-byte sectors. A fresh or erased area reads as
// zeros and takes no disk space until sectors are written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

namespace quillard::softkey {

class DiskImage {
public:
    static constexpr uint32_t kSectorSize = 2048;

    explicit DiskImage(std::filesystem::path file) : file_(std::move(file)) {}

    // Creates the file holding `bytes` zero bytes.
    void create(uint64_t bytes) const;
    // Sets every byte of the existing file back to zero, keeping its size.
    void erase() const;
    // Writes `size` bytes at `offset` of the existing file; the caller has checked the bounds.
    void write(uint64_t offset, const uint8_t* data, std::size_t size) const;

private:
    std::filesystem::path file_;
};

} // namespace quillard::softkey
