// The built-in virtual keys: a software model of the maker's USB key. A key is plugged in while its database
// (`<serial>.db`) sits in the device folder given at construction; find() lists those keys sorted by serial,
// and a call on an index whose key has gone answers QR_DEVICE_REMOVED. Logins last for this driver object
// (one per process in the library) and end when the key is unplugged, re-plugged or formatted. Each key found
// stays open between calls (PluggedKey says how a change made elsewhere is noticed) until it is gone from a
// find(), found removed, or fails.
#pragma once

#include "driver.h"
#include "login_sessions.h"
#include "sqlite/sqlite_transaction.h"

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace quillard {

namespace softkey {
class PluggedKey;
struct KeyRecord;
} // namespace softkey

class SoftkeyDriver : public Driver {
public:
    explicit SoftkeyDriver(std::filesystem::path keysFolder);
    ~SoftkeyDriver() override;

    Result find(std::vector<std::string>& serials) override;
    Result connect(int32_t idx) override;
    Result getInfo(int32_t idx, KeyInfo& info) override;
    Result getPinState(int32_t idx, PinKind kind, PinState& state) override;
    Result login(int32_t idx, PinKind kind, const SecureString& pin, int32_t& retriesLeft) override;
    Result logout(int32_t idx) override;
    Result changePin(int32_t idx, PinKind kind, const SecureString& oldPin,
                     const SecureString& newPin) override;
    Result unlockUserPin(int32_t idx, const SecureString& soPin, const SecureString& newUserPin) override;
    Result setLabel(int32_t idx, const std::string& utf8Label) override;
    Result format(int32_t idx, const FormatSettings& settings) override;
    Result writeSectors(int32_t idx, uint32_t firstSector, uint32_t sectorCount,
                        const uint8_t* data) override;
    Result reloadObjects(int32_t idx) override;
    Result moduleName(int32_t idx, std::string& name) override;

    Result listContainers(int32_t idx, std::vector<std::string>& names) override;
    Result createContainer(int32_t idx, const std::string& name) override;
    Result deleteContainer(int32_t idx, const std::string& name) override;
    Result deleteCertificate(int32_t idx, const std::string& name, int32_t spec) override;
    Result getCertificate(int32_t idx, const std::string& name, int32_t spec,
                          std::vector<uint8_t>& der) override;
    Result getPublicKey(int32_t idx, const std::string& name, int32_t spec, KeyDescription& key) override;
    Result getPrivateKey(int32_t idx, const std::string& name, int32_t spec, KeyDescription& key) override;
    Result importCredential(int32_t idx, const std::string& name, int32_t spec,
                            const Credential& credential) override;

private:
    // Runs `work` under the driver's lock and turns its failures into result codes.
    template <typename Work> Result guarded(Work&& work);
    // Runs `work(key, transaction)` on the key at `idx` inside a transaction of `kKind` and returns its
    // result. A read is first tried without the lock (transaction null), as PluggedKey::readUnlocked() says.
    // A key found removed loses its logins; a key that fails is closed, so the next call opens it afresh.
    template <SqliteTransaction::Kind kKind, typename Work> Result onKey(int32_t idx, Work&& work);
    // Runs `read(key)` on the key at `idx` under the key's read lock, or without it as onKey() says; QR_OK
    // unless it throws.
    template <typename Read> Result reading(int32_t idx, Read&& read);
    // Runs `change(key)` on the key at `idx` under the key's write lock and commits what it did, also when it
    // returns an error code (a wrong PIN still costs a try); rolls back when it throws.
    template <typename Change> Result writing(int32_t idx, Change&& change);
    // Proves `verifiedPin` and, when it is right, sets `replacedKind`'s PIN to `newPin`.
    Result replacePin(int32_t idx, PinKind verifiedKind, const SecureString& verifiedPin,
                      PinKind replacedKind, const SecureString& newPin);
    // The open key of `serial`, opened when it is not.
    softkey::PluggedKey& plugged(const std::string& serial);
    // The master key of the user's login to `key`; throws QR_USER_NOT_LOGGED_IN without one.
    const SecureBytes& requireUser(const softkey::PluggedKey& key, const softkey::KeyRecord& record);
    bool isLoggedIn(const softkey::PluggedKey& key, const softkey::KeyRecord& record, PinKind role);

    std::filesystem::path keysFolder_;
    std::vector<std::string> serials_;
    std::map<std::string, std::unique_ptr<softkey::PluggedKey>> keys_; // by serial
    softkey::LoginSessions sessions_;
    std::mutex mutex_;
};

} // namespace quillard
