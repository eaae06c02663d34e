#include "key_read.h"

#include <stdexcept>
#include <string>

namespace bench {

void require(int32_t result, const char* what) {
    if (result != 0)
        throw std::runtime_error(std::string(what) + " failed: " + std::to_string(result));
}

int readWholeKey(int32_t idx, token::TZartoInfo& record, token::TZartoCertInfo& info) {
    require(token::LoadContainerList(idx, record), "LoadContainerList");
    int objects = 0;
    for (int32_t i = 0; i < record.containerCount; ++i) {
        for (int32_t spec : {1, 2}) {
            int32_t algorithm = 0;
            require(token::ReadCertInfo(idx, record.containerNames[i], spec, info), "ReadCertInfo");
            require(token::container_get_pubkey(idx, record.containerNames[i], spec, algorithm), "pubkey");
            require(token::container_get_prikey(idx, record.containerNames[i], spec, algorithm), "prikey");
            objects += 3;
        }
    }
    return objects;
}

} // namespace bench
