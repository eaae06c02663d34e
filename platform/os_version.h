// The operating system as the system check page shows it: the os-release name of the distribution and the
// kernel release, e.g. "Debian GNU/Linux 12 (bookworm) (Kernel 6.1.0-18-amd64)".
#pragma once

#include "host_sources.h"

#include <QString>

namespace platform {

// PRETTY_NAME of the first existing os-release file, else NAME and VERSION, else "Linux"; then
// " (Kernel <release>)" when the kernel release is known.
QString osVersionText(const HostSources& sources);

} // namespace platform
