// Virtual keys plugged in and pulled out, seen through a watch on their device folder. At every change of the
// folder the plugged keys are listed again (by the function given, which asks the token library) and
// compared with the previous list: a new device path is an arrival, a vanished one a removal carrying the
// path it had, so a key that was there at start still reports its product id when it goes. Several changes
// that arrive as one notification are sorted out by the comparison. While the folder does not exist the watch
// sits on its nearest existing parent and moves back onto the folder when it appears.
#pragma once

#include "device_event.h"

#include <QObject>
#include <QStringList>
#include <functional>

class QFileSystemWatcher;

namespace platform {

class VirtualKeyFolderWatch : public QObject {
    Q_OBJECT
public:
    using DeviceLister = std::function<QStringList()>;

    // Takes the first list at once, without raising events. An empty `folder` watches nothing.
    VirtualKeyFolderWatch(const QString& folder, DeviceLister listDevices, QObject* parent = nullptr);

    // The device paths of the last list.
    const QStringList& devices() const { return devices_; }
    // Lists the keys again and raises an event for each difference; the folder watch calls it.
    void rescan();

signals:
    void deviceChanged(const platform::DeviceEvent& event);

private:
    void watchFolderOrParent();

    QString folder_;
    DeviceLister listDevices_;
    QFileSystemWatcher* watcher_;
    QStringList devices_;
};

} // namespace platform
