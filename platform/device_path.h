// USB device-interface paths of the form \\?\USB#VID_vvvv&PID_pppp#serial#{class}: every device event of the
// program carries one, whatever its source, and the product id is read from it in one place.
#pragma once

#include <QString>

namespace platform {

// The value of exactly four hexadecimal digits after the first "PID_" of the upper-cased path; 0 when there
// is no "PID_" or fewer than four hexadecimal digits follow it.
int productIdFromDevicePath(const QString& path);
// The device-interface path of a USB device; an empty serial leaves its part empty.
QString usbDevicePath(int vendorId, int productId, const QString& serial);

} // namespace platform
