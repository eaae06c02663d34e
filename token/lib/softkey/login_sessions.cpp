#include "login_sessions.h"

#include "softkey_error.h"
#include "token/lib/openssl_providers.h"

#include <openssl/rand.h>

#include <algorithm>

namespace quillard::softkey {

int64_t LoginSessions::newEpoch() {
    uint64_t value = 0;
    if (RAND_bytes_ex(libraryContext(), reinterpret_cast<unsigned char*>(&value), sizeof value, 0) != 1)
        throw SoftkeyError(QR_GENERAL_ERROR, "no random bytes");
    return static_cast<int64_t>(value >> 1); // stays positive, as SQLite keeps it
}

void LoginSessions::open(const std::string& serial, PinKind role, int64_t epoch, SecureBytes masterKey) {
    sessions_[serial] = Session{role, epoch, std::move(masterKey), {}};
}

void LoginSessions::close(const std::string& serial) {
    sessions_.erase(serial);
}

void LoginSessions::keepOnly(const std::vector<std::string>& serials) {
    std::erase_if(sessions_, [&](const auto& entry) {
        return std::find(serials.begin(), serials.end(), entry.first) == serials.end();
    });
}

LoginSessions::Session* LoginSessions::find(const std::string& serial, int64_t epoch) {
    auto found = sessions_.find(serial);
    if (found == sessions_.end())
        return nullptr;
    if (found->second.epoch != epoch) {
        sessions_.erase(found);
        return nullptr;
    }
    return &found->second;
}

} // namespace quillard::softkey
