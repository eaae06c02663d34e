#include "device_watcher.h"

#include "message_service.h"
#include "platform/device_path.h"
#include "platform/token_slot_poll.h"
#include "platform/udev_device_source.h"
#include "platform/virtual_key_folder_watch.h"
#include "token/token_ops.h"

#include <QWidget>
#include <exception>

namespace {

QStringList pluggedVirtualKeys() {
    std::vector<std::string> paths;
    token::quillard_virtual_key_devices(paths);
    QStringList devices;
    for (const std::string& path : paths)
        devices << QString::fromStdString(path);
    return devices;
}

} // namespace

TUSB::TUSB(QObject* parent)
    : QObject(parent), udev_(new platform::UdevDeviceSource(true, this)),
      virtualKeys_(new platform::VirtualKeyFolderWatch(
          QString::fromStdString(token::quillard_virtual_key_folder()), pluggedVirtualKeys, this)),
      tokens_(new platform::TokenSlotPoll(
          [this](std::function<void(bool)> answer) {
              if (PollTokens)
                  PollTokens(std::move(answer));
          },
          this)) {
    connect(udev_, &platform::UdevDeviceSource::deviceChanged, this, &TUSB::deviceChanged);
    connect(virtualKeys_, &platform::VirtualKeyFolderWatch::deviceChanged, this, &TUSB::deviceChanged);
    connect(tokens_, &platform::TokenSlotPoll::tokensChanged, this, [this] { run(OnTokensChanged); });
}

TUSB::~TUSB() = default;

void TUSB::deviceChanged(const platform::DeviceEvent& event) {
    ProductId = platform::productIdFromDevicePath(event.devicePath);
    run(event.action == platform::DeviceAction::Arrival ? OnDeviceArrival : OnDeviceRemoval);
}

void TUSB::run(const DeviceEventHandler& handler) {
    if (!handler)
        return;
    // Qt's event dispatch must never see an exception: a failure in the handler is reported instead.
    try {
        handler(*this);
    } catch (const std::exception& failure) {
        ui::messageService().reportError(qobject_cast<QWidget*>(parent()),
                                         QString::fromLocal8Bit(failure.what()));
    }
}
