#include "iso_image_write.h"

#include "token/key_table.h"
#include "token/token_ops.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <memory>

namespace token::flows {

namespace {

constexpr std::size_t kBlockSize = 65536;
constexpr std::size_t kSectorSize = 2048;

using Block = std::array<char, kBlockSize>;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Fills `block` from `file` until it is full or the file ends: only the last block of a file is short. The
// byte count, or -1 when a read fails.
long readBlock(std::FILE* file, Block& block) {
    block.fill(0);
    const std::size_t filled = std::fread(block.data(), 1, kBlockSize, file);
    if (filled < kBlockSize && std::ferror(file))
        return -1;
    return static_cast<long>(filled);
}

uint64_t sizeOf(std::FILE* file) {
    if (std::fseek(file, 0, SEEK_END) != 0)
        return 0;
    const long size = std::ftell(file);
    std::rewind(file);
    return size > 0 ? static_cast<uint64_t>(size) : 0;
}

// The serial the library reports for `slot` now.
std::string serialReported(int32_t slot) {
    TZartoInfo record;
    record.clear();
    if (token_get_info(slot, record) != 0)
        return {};
    return std::string(record.serial, strnlen(record.serial, sizeof record.serial));
}

} // namespace

DiskArea diskArea(int32_t slot) {
    DiskArea area;
    area.code = quillard_disk_size(slot, area.bytes);
    return area;
}

int32_t writeIsoImage(int32_t slot, const std::string& serial, const std::string& path,
                      const IsoWriteSteps& steps) {
    const File file(std::fopen(path.c_str(), "rb"));
    if (!file)
        return kImageUnreadable;
    const uint64_t imageBytes = sizeOf(file.get());
    const DiskArea area = diskArea(slot);
    if (area.code != 0)
        return area.code;
    if (!area.holds(imageBytes))
        return kImageTooBig;
    if (steps.started)
        steps.started(imageBytes);
    auto block = std::make_unique<Block>();
    uint32_t sector = 0;
    uint64_t written = 0;
    for (;;) {
        const long count = readBlock(file.get(), *block);
        if (count < 0)
            return kImageUnreadable;
        if (count == 0)
            return 0;
        const auto sectors =
            static_cast<uint32_t>((static_cast<std::size_t>(count) + kSectorSize - 1) / kSectorSize);
        if ((steps.beforeBlock && !steps.beforeBlock()) || serialReported(slot) != serial)
            return kKeyReplaced;
        if (steps.cancelled && steps.cancelled())
            return kWriteCancelled;
        if (const int32_t result = token_write_sectors(slot, sector, sectors, block->data()))
            return result;
        sector += sectors;
        written += static_cast<uint64_t>(count);
        if (steps.afterBlock)
            steps.afterBlock(written);
    }
}

} // namespace token::flows
