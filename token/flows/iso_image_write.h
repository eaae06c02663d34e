// Writing an ISO image file to a logged-in key's disk area from sector 0, in blocks of 64 KiB (a short last
// block is sent up to the end of its last sector, the rest zeros). Before each block the caller may wait and
// check that the key is still the one the write started on; the serial the library reports for the slot is
// checked here as well, so a key swapped at the slot is never written to.
#pragma once

#include "token/lib/quillard_errors.h"

#include <cstdint>
#include <functional>
#include <string>

namespace token::flows {

// The result of a write whose image file could not be opened or read to its end.
constexpr int32_t kImageUnreadable = QR_FILE_UNUSABLE;
// The result of a write stopped because the key at the slot is no longer the one it started on.
constexpr int32_t kKeyReplaced = QR_DEVICE_REMOVED;
// The result of a write the user stopped between two blocks: what was written before stays on the key.
constexpr int32_t kWriteCancelled = QR_FUNCTION_CANCELED;
// The result of a write whose image is larger than the key's disk area: nothing was written.
constexpr int32_t kImageTooBig = QR_DATA_LEN_RANGE;

// The disk area of a key: `code` 0 and its size, or the library's code (QR_FUNCTION_NOT_SUPPORTED for a key
// without a disk area).
struct DiskArea {
    int32_t code = 0;
    uint64_t bytes = 0;
    // True when an image of `imageBytes` fits the area.
    bool holds(uint64_t imageBytes) const { return code == 0 && imageBytes <= bytes; }
};
DiskArea diskArea(int32_t slot);

struct IsoWriteSteps {
    // Once, with the file's size in bytes, before the first block.
    std::function<void(uint64_t totalBytes)> started;
    // Before each block; false stops the write with kKeyReplaced.
    std::function<bool()> beforeBlock;
    // Before each block, after beforeBlock; true stops the write with kWriteCancelled.
    std::function<bool()> cancelled;
    // After each block, with the bytes of the file written so far.
    std::function<void(uint64_t writtenBytes)> afterBlock;
};

// Writes the file at `path` (8-bit) to `slot`, whose serial is `serial`; 0 or the first failure's code. A key
// without a disk area, or an image larger than it, is refused before the first block.
int32_t writeIsoImage(int32_t slot, const std::string& serial, const std::string& path,
                      const IsoWriteSteps& steps);

} // namespace token::flows
