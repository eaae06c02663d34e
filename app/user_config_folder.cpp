#include "user_config_folder.h"

#include <QDir>
#include <QStandardPaths>

namespace {

const QString makerFolderName = QStringLiteral("Norvale");
const QString productFolderName = QStringLiteral("PellorZu");

} // namespace

QString GetUserConfigFolder() {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    const QString folder = base + u'/' + makerFolderName + u'/' + productFolderName + u'/';
    QDir().mkpath(folder);
    return folder;
}
