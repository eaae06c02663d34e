#include "certificate_deletion.h"

#include "store_registration.h"
#include "token/token_ops.h"

namespace token::flows {

namespace {

int32_t rebuildStoreAfter(int32_t result, const std::string& cspName) {
    if (result != 0)
        return result;
    remove_all_certs_from_store(cspName);
    registerEveryKey(cspName);
    return 0;
}

} // namespace

int32_t deleteCertificate(int32_t slot, const std::string& container, int32_t spec,
                          const std::string& cspName) {
    return rebuildStoreAfter(container_delete_cert(slot, container, spec), cspName);
}

int32_t deleteContainer(int32_t slot, const std::string& container, const std::string& cspName) {
    return rebuildStoreAfter(container_delete(slot, container), cspName);
}

} // namespace token::flows
