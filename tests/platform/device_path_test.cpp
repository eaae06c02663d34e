// The product id of device paths, and recorded udev events turned into device events.
#include "platform/device_path.h"
#include "platform/udev_device_source.h"

#include <gtest/gtest.h>
#include <vector>

using platform::DeviceAction;
using platform::DeviceEvent;
using platform::UdevDeviceSource;

TEST(DevicePathTest, ProductIdIsExactlyFourHexDigitsAfterTheFirstPid) {
    EXPECT_EQ(platform::productIdFromDevicePath(QStringLiteral("\\\\?\\USB#VID_1234&PID_ABCD#01#{x}")),
              0xABCD);
    EXPECT_EQ(platform::productIdFromDevicePath(QStringLiteral("\\\\?\\usb#vid_1234&pid_abcd#01#{x}")),
              43981);
    EXPECT_EQ(platform::productIdFromDevicePath(QStringLiteral("USB#VID_1234&PID_E917")), 0xE917);
    // Not four hexadecimal digits, or none at all: 0.
    EXPECT_EQ(platform::productIdFromDevicePath(QStringLiteral("USB#VID_1234&PID_XYZ1#01")), 0);
    EXPECT_EQ(platform::productIdFromDevicePath(QStringLiteral("USB#VID_1234&PID_E9")), 0);
    EXPECT_EQ(platform::productIdFromDevicePath(QStringLiteral("USB#VID_1234&PID_")), 0);
    EXPECT_EQ(platform::productIdFromDevicePath(QStringLiteral("USB#VID_1234#01")), 0);
    EXPECT_EQ(platform::productIdFromDevicePath(QString()), 0);
    // Digits of other scripts are not hexadecimal digits.
    EXPECT_EQ(platform::productIdFromDevicePath(QStringLiteral("PID_E91\u0663")), 0);
    // The first "PID_" counts, even when a later one would parse.
    EXPECT_EQ(platform::productIdFromDevicePath(QStringLiteral("PID_XX#PID_E917")), 0);
}

TEST(DevicePathTest, BuiltPathsCarryTheIdsInUpperCaseAndTheSerialAsItIs) {
    const QString path = platform::usbDevicePath(0x1a2b, 0xe917, QStringLiteral("ab-01"));
    EXPECT_EQ(path,
              QStringLiteral("\\\\?\\USB#VID_1A2B&PID_E917#ab-01#{A5DCBF10-6530-11D2-901F-00C04FB951ED}"));
    EXPECT_EQ(platform::productIdFromDevicePath(path), 0xE917);
}

namespace {

struct RecordedEvents {
    explicit RecordedEvents(UdevDeviceSource& source) {
        QObject::connect(&source, &UdevDeviceSource::deviceChanged,
                         [this](const DeviceEvent& event) { events.push_back(event); });
    }
    std::vector<DeviceEvent> events;
};

UdevDeviceSource::Properties usbDevice(const char* action) {
    return {{QStringLiteral("ACTION"), QString::fromLatin1(action)},
            {QStringLiteral("SUBSYSTEM"), QStringLiteral("usb")},
            {QStringLiteral("DEVTYPE"), QStringLiteral("usb_device")},
            {QStringLiteral("ID_VENDOR_ID"), QStringLiteral("096e")},
            {QStringLiteral("ID_MODEL_ID"), QStringLiteral("db08")},
            {QStringLiteral("ID_SERIAL_SHORT"), QStringLiteral("A1B2")},
            {QStringLiteral("PRODUCT"), QStringLiteral("96e/db08/100")}};
}

} // namespace

TEST(UdevDeviceSourceTest, AddAndRemoveOfUsbDevicesBecomeArrivalsAndRemovals) {
    UdevDeviceSource source(false);
    RecordedEvents recorded(source);
    source.deliver(usbDevice("add"));
    source.deliver(usbDevice("bind"));
    source.deliver(usbDevice("change"));
    source.deliver(usbDevice("remove"));
    ASSERT_EQ(recorded.events.size(), 2u);
    EXPECT_EQ(recorded.events[0].action, DeviceAction::Arrival);
    EXPECT_EQ(recorded.events[0].devicePath,
              QStringLiteral("\\\\?\\USB#VID_096E&PID_DB08#A1B2#{A5DCBF10-6530-11D2-901F-00C04FB951ED}"));
    EXPECT_EQ(recorded.events[1].action, DeviceAction::Removal);
    EXPECT_EQ(platform::productIdFromDevicePath(recorded.events[1].devicePath), 0xDB08);
}

TEST(UdevDeviceSourceTest, InterfacesAndOtherSubsystemsRaiseNothing) {
    UdevDeviceSource source(false);
    RecordedEvents recorded(source);
    UdevDeviceSource::Properties interface = usbDevice("add");
    interface[QStringLiteral("DEVTYPE")] = QStringLiteral("usb_interface");
    UdevDeviceSource::Properties volume = usbDevice("add");
    volume[QStringLiteral("SUBSYSTEM")] = QStringLiteral("block");
    source.deliver(interface);
    source.deliver(volume);
    EXPECT_TRUE(recorded.events.empty());
}

TEST(UdevDeviceSourceTest, KernelOnlyPropertiesGiveTheIdsFromProduct) {
    UdevDeviceSource::Properties kernelOnly = usbDevice("add");
    kernelOnly.remove(QStringLiteral("ID_VENDOR_ID"));
    kernelOnly.remove(QStringLiteral("ID_MODEL_ID"));
    kernelOnly.remove(QStringLiteral("ID_SERIAL_SHORT"));
    kernelOnly[QStringLiteral("PRODUCT")] = QStringLiteral("96e/e18/100");
    EXPECT_EQ(UdevDeviceSource::devicePathOf(kernelOnly),
              QStringLiteral("\\\\?\\USB#VID_096E&PID_0E18##{A5DCBF10-6530-11D2-901F-00C04FB951ED}"));
    kernelOnly[QStringLiteral("PRODUCT")] = QStringLiteral("garbage");
    EXPECT_EQ(platform::productIdFromDevicePath(UdevDeviceSource::devicePathOf(kernelOnly)), 0);
}
