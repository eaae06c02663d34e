#include "user_config_folder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

const QString makerFolderName = QStringLiteral("Norvale");
const QString productFolderName = QStringLiteral("PellorZu");

constexpr QFileDevice::Permissions ownerOnly =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;

} // namespace

QString GetUserConfigFolder() {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    const QString folder = base + u'/' + makerFolderName + u'/' + productFolderName + u'/';
    config::MakePrivateFolder(folder);
    return folder;
}

bool config::MakePrivateFolder(const QString& folder) {
    const QString path = QDir::cleanPath(QDir(folder).absolutePath());
    if (QFileInfo(path).isDir())
        return true;
    const QString parent = QFileInfo(path).path();
    if (parent == path || !config::MakePrivateFolder(parent))
        return false;
    // Another process may have made it meanwhile.
    return QDir().mkdir(path, ownerOnly) || QFileInfo(path).isDir();
}
