#include "virtual_key_folder_watch.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>

namespace platform {

VirtualKeyFolderWatch::VirtualKeyFolderWatch(const QString& folder, DeviceLister listDevices, QObject* parent)
    : QObject(parent), folder_(folder), listDevices_(std::move(listDevices)),
      watcher_(new QFileSystemWatcher(this)) {
    if (folder_.isEmpty())
        return;
    watchFolderOrParent();
    devices_ = listDevices_();
    connect(watcher_, &QFileSystemWatcher::directoryChanged, this, &VirtualKeyFolderWatch::rescan);
}

void VirtualKeyFolderWatch::watchFolderOrParent() {
    QString target = QDir::cleanPath(folder_);
    while (!QFileInfo(target).isDir()) {
        const QString parent = QFileInfo(target).path();
        if (parent == target)
            return;
        target = parent;
    }
    const QStringList watched = watcher_->directories();
    if (watched == QStringList{target})
        return;
    if (!watched.isEmpty())
        watcher_->removePaths(watched);
    watcher_->addPath(target);
}

void VirtualKeyFolderWatch::rescan() {
    // The folder may have been created or removed since the last change.
    watchFolderOrParent();
    const QStringList now = listDevices_();
    const QStringList before = std::exchange(devices_, now);
    for (const QString& path : before) {
        if (!now.contains(path))
            emit deviceChanged({DeviceAction::Removal, path});
    }
    for (const QString& path : now) {
        if (!before.contains(path))
            emit deviceChanged({DeviceAction::Arrival, path});
    }
}

} // namespace platform
