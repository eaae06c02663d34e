#include "cert_health_context.h"

namespace ui {

CertHealthContext& CertHealthContext::instance() {
    static CertHealthContext context;
    return context;
}

} // namespace ui
