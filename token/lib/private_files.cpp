#include "private_files.h"

#include "quillard_errors.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillard {

namespace {

constexpr mode_t kOthersBits = S_IRWXG | S_IRWXO;

// Takes group and other permissions away from `path` when it has any. A path of another user is left as it is
// and refused: changing it would hide someone else's exposed key rather than protect ours.
Result tighten(const std::filesystem::path& path, mode_t privateMode) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0)
        return errno == ENOENT ? QR_OK : QR_STORAGE_ERROR;
    if ((status.st_mode & kOthersBits) == 0)
        return QR_OK;
    if (S_ISLNK(status.st_mode) || status.st_uid != ::geteuid())
        return QR_FILE_NOT_PRIVATE;
    return ::chmod(path.c_str(), privateMode) == 0 ? QR_OK : QR_FILE_NOT_PRIVATE;
}

} // namespace

Result makePrivateFolder(const std::filesystem::path& folder) {
    if (folder.empty())
        return QR_STORAGE_ERROR;
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error)) {
        if (folder.has_parent_path() && folder.parent_path() != folder) {
            std::error_code ignored;
            if (!std::filesystem::exists(folder.parent_path(), ignored))
                if (Result result = makePrivateFolder(folder.parent_path()); result != QR_OK)
                    return result;
        }
        if (::mkdir(folder.c_str(), S_IRWXU) != 0 && errno != EEXIST)
            return QR_STORAGE_ERROR;
    }
    return tighten(folder, S_IRWXU);
}

Result makePrivateFile(const std::filesystem::path& file) {
    return tighten(file, S_IRUSR | S_IWUSR);
}

Result createPrivateFile(const std::filesystem::path& file) {
    int descriptor = ::open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, S_IRUSR | S_IWUSR);
    if (descriptor < 0)
        return QR_STORAGE_ERROR;
    ::close(descriptor);
    return makePrivateFile(file);
}

} // namespace quillard
