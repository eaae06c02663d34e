// Who runs this process, as a text that tells users of one machine apart (the numeric user id).
#pragma once

#include <QString>

namespace platform {

QString currentUserId();

} // namespace platform
