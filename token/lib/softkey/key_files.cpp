#include "key_files.h"

#include "folder_watch.h"
#include "softkey_error.h"
#include "token/lib/private_files.h"

#include <algorithm>

namespace quillard::softkey {

namespace {

bool isSerialCharacter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}

void moveFile(const std::filesystem::path& from, const std::filesystem::path& to) {
    std::error_code error;
    std::filesystem::rename(from, to, error);
    FolderWatch::noteChangeHere();
    if (error)
        throw SoftkeyError(QR_STORAGE_ERROR, "cannot move " + from.string() + ": " + error.message());
}

} // namespace

void requirePrivateFolder(const std::filesystem::path& folder) {
    if (Result result = makePrivateFolder(folder); result != QR_OK)
        throw SoftkeyError(result, "the folder " + folder.string() + " cannot be made private to its owner");
}

bool KeyFiles::isValidSerial(std::string_view serial) {
    return !serial.empty() && serial.size() <= kLongestSerial &&
           std::all_of(serial.begin(), serial.end(), isSerialCharacter);
}

std::vector<std::string> KeyFiles::serialsIn(const std::filesystem::path& folder) {
    std::vector<std::string> serials;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::filesystem::path& file = entry.path();
        std::string stem = file.stem().string();
        if (file.extension() == ".db" && isValidSerial(stem) && entry.is_regular_file(error))
            serials.push_back(stem);
    }
    std::sort(serials.begin(), serials.end());
    return serials;
}

bool KeyFiles::exist() const {
    std::error_code error;
    return std::filesystem::is_regular_file(database(), error);
}

void KeyFiles::makePrivate() const {
    std::filesystem::path journal = database();
    journal += "-journal";
    for (const std::filesystem::path& file : {database(), journal, diskImage()})
        if (makePrivateFile(file) != QR_OK)
            throw SoftkeyError(QR_FILE_NOT_PRIVATE, file.string() +
                                                        " is readable by other users and belongs to "
                                                        "another user: the key is not used");
}

KeyFiles KeyFiles::moveTo(const std::filesystem::path& folder, MoveOrder order) const {
    std::error_code error;
    requirePrivateFolder(folder);
    KeyFiles target(folder, serial_);
    bool databaseFirst = order == MoveOrder::DatabaseFirst;
    std::filesystem::path first = databaseFirst ? database() : diskImage();
    std::filesystem::path firstTarget = databaseFirst ? target.database() : target.diskImage();
    moveFile(first, firstTarget);
    try {
        moveFile(databaseFirst ? diskImage() : database(),
                 databaseFirst ? target.diskImage() : target.database());
    } catch (const SoftkeyError&) {
        std::filesystem::rename(firstTarget, first, error);
        throw;
    }
    return target;
}

void KeyFiles::remove() const {
    std::error_code error;
    std::filesystem::remove(database(), error);
    FolderWatch::noteChangeHere();
    if (error)
        throw SoftkeyError(QR_STORAGE_ERROR, "cannot delete " + database().string() + ": " + error.message());
    std::filesystem::remove(diskImage(), error);
}

} // namespace quillard::softkey
