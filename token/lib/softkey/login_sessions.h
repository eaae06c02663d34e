// Who is logged in to which virtual key, in this process only (another process sharing a key logs in on its
// own). A login belongs to a key's serial and to the key's session epoch at login time: a key plugged in
// again or formatted since has a new epoch, so its old logins no longer count. A user login keeps the
// unsealed master key, and the private keys used under it, for as long as it lasts; they are wiped when the
// login ends.
#pragma once

#include "opened_keys.h"
#include "token/lib/driver.h"
#include "token/lib/secure_bytes.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace quillard::softkey {

class LoginSessions {
public:
    struct Session {
        PinKind role = PinKind::User;
        int64_t epoch = 0;
        SecureBytes masterKey;
        OpenedKeys openedKeys; // the private keys used under this login, decoded
    };

    // A fresh random epoch, for a key being plugged in or formatted.
    static int64_t newEpoch();

    void open(const std::string& serial, PinKind role, int64_t epoch, SecureBytes masterKey);
    void close(const std::string& serial);
    // Ends the logins of every key not in `serials`.
    void keepOnly(const std::vector<std::string>& serials);
    // The login to `serial` when it was made under `epoch`; nullptr otherwise (a stale login is ended).
    Session* find(const std::string& serial, int64_t epoch);

private:
    std::map<std::string, Session> sessions_;
};

} // namespace quillard::softkey
