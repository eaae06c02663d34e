// The files of one virtual key in a folder: `<serial>.db`, the database, and `<serial>.img`, the disk area.
// The database is what makes a key visible.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace quillard::softkey {

// Creates `folder` owner-only or tightens it; throws SoftkeyError with the code of makePrivateFolder().
void requirePrivateFolder(const std::filesystem::path& folder);

class KeyFiles {
public:
    static constexpr std::size_t kLongestSerial = 32;

    // 1 to 32 ASCII letters, digits, '-' or '_': safe as a file name everywhere.
    static bool isValidSerial(std::string_view serial);
    // The serials of the keys whose database sits in `folder`, sorted; none when the folder does not exist.
    static std::vector<std::string> serialsIn(const std::filesystem::path& folder);

    KeyFiles(std::filesystem::path folder, std::string serial)
        : folder_(std::move(folder)), serial_(std::move(serial)) {}

    const std::string& serial() const { return serial_; }
    const std::filesystem::path& folder() const { return folder_; }
    std::filesystem::path database() const { return folder_ / (serial_ + ".db"); }
    std::filesystem::path diskImage() const { return folder_ / (serial_ + ".img"); }
    bool exist() const;
    // Tightens the key's files (database, its journal, disk image) to owner-only modes; throws
    // SoftkeyError(QR_FILE_NOT_PRIVATE) for files open to others that belong to another user.
    void makePrivate() const;

    // Which file moves first: a key leaving the device folder loses its database first, so it vanishes at
    // once; a key arriving gets its disk image first, so the image is there when the database appears.
    enum class MoveOrder { DatabaseFirst, DiskImageFirst };

    // Moves both files into `folder` (created owner-only when missing) and returns where they are now. When
    // the second file cannot follow, the first goes back and SoftkeyError(QR_STORAGE_ERROR) is thrown.
    KeyFiles moveTo(const std::filesystem::path& folder, MoveOrder order) const;
    void remove() const;

private:
    std::filesystem::path folder_;
    std::string serial_;
};

} // namespace quillard::softkey
