#include "user_identity.h"

#if defined(Q_OS_WIN)
#include <QtGlobal>
#else
#include <unistd.h>
#endif

namespace platform {

QString currentUserId() {
#if defined(Q_OS_WIN)
    return qEnvironmentVariable("USERNAME");
#else
    return QString::number(getuid());
#endif
}

} // namespace platform
