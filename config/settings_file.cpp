#include "settings_file.h"

#include "platform/owner_file.h"
#include "platform/secure_wipe.h"
#include "user_config_folder.h"

#include <QFile>
#include <QFileInfo>

namespace config {

namespace {

SettingsFile::WritableCheck writableCheck = &mayReplaceFile;

// Copies the bytes of `source` into `target`, written to a temporary name and renamed into place; the copy
// is its owner's only. The bytes may hold the default PINs: they are wiped after use.
bool copyPrivately(const QString& source, const QString& target) {
    QFile input(source);
    if (!input.open(QIODevice::ReadOnly))
        return false;
    QByteArray bytes = input.readAll();
    const bool copied = platform::writeWholeFile(target, bytes); // a new file: its owner's only
    platform::secureWipe(bytes);
    return copied;
}

} // namespace

bool mayReplaceFile(const QString& path) {
    const QFileInfo file(path);
    const QFileInfo folder(file.absolutePath());
    return folder.isDir() && folder.isWritable() && (!file.exists() || file.isWritable());
}

SettingsFile::SettingsFile(const QString& programFolder, const QString& relativePath)
    : besideProgram_(programFolder + relativePath), relativePath_(relativePath) {}

QString SettingsFile::readPath() const {
    if (besideProgramWritable())
        return besideProgram_;
    const QString copy = userCopyPath();
    return QFileInfo::exists(copy) ? copy : besideProgram_;
}

QString SettingsFile::writePath() const {
    return besideProgramWritable() ? besideProgram_ : userCopyPath();
}

bool SettingsFile::write(const Writer& writer) const {
    const QString path = writePath();
    const bool started = path != besideProgram_ && startUserCopy(path);
    if (writer(path))
        return true;
    if (started)
        QFile::remove(path);
    return false;
}

SettingsFile::WritableCheck SettingsFile::setWritableCheck(WritableCheck check) {
    const WritableCheck previous = writableCheck;
    writableCheck = check;
    return previous;
}

bool SettingsFile::besideProgramWritable() const {
    return writableCheck(besideProgram_);
}

QString SettingsFile::userCopyPath() const {
    return GetUserConfigFolder() + relativePath_;
}

bool SettingsFile::startUserCopy(const QString& copy) const {
    // A folder that cannot be made shows as a refused write of the copy.
    if (!config::MakePrivateFolder(QFileInfo(copy).absolutePath()) || QFileInfo::exists(copy) ||
        !QFileInfo(besideProgram_).isFile())
        return false;
    return copyPrivately(besideProgram_, copy);
}

} // namespace config
