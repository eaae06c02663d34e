// The built-in virtual keys: a software model of the maker's USB key. A key is plugged in while its database
// (`<serial>.db`) sits in the device folder given at construction; find() lists those keys sorted by serial,
// and a call on an index whose key has gone answers QR_DEVICE_REMOVED. Logins last for this driver object
// (one per process in the library) and end when the key is unplugged, re-plugged or formatted. Each key found
// stays open between calls (PluggedKey says how a change made elsewhere is noticed) until it is gone from a
// find(), found removed, or fails.
#pragma once

#include "folder_watch.h"
#include "key_records.h"
#include "login_sessions.h"
#include "token/lib/driver.h"
#include "token/lib/sqlite/sqlite_transaction.h"

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace quillard {

namespace softkey {
class KeyDatabase;
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
    Result diskSize(int32_t idx, uint64_t& bytes) override;

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

    // Operations for the PKCS#11 module of the virtual keys; each needs the user's login (else
    // QR_USER_NOT_LOGGED_IN). usePrivateKey() hands the private key of (name, spec) to `use`, whose result it
    // returns. The key is unsealed and decoded once per login and kept until the login ends (or the key
    // stored changes); `use` takes a reference of its own (EVP_PKEY_up_ref) to keep it longer than the call.
    Result usePrivateKey(int32_t idx, const std::string& name, int32_t spec,
                         const std::function<Result(EVP_PKEY* key)>& use);
    // Keeps the key pair `pkcs8` without a certificate under (name, spec), creating the container when there
    // is none; `publicKey` receives its description. QR_OUT_OF_SPACE leaves the key as it was.
    Result storeKeyPair(int32_t idx, const std::string& name, int32_t spec, const SecureBytes& pkcs8,
                        KeyDescription& publicKey);
    // Generates a key pair on the key and keeps it as storeKeyPair() does.
    Result generateKeyPair(int32_t idx, const std::string& name, int32_t spec, int32_t algorithm,
                           int32_t bits, KeyDescription& publicKey) override;
    // Every kind of kGeneratedKeyKinds; signDigest() signs with the key's private key through
    // usePrivateKey().
    Result generatedKeyKinds(int32_t idx, std::vector<GeneratedKeyKind>& kinds) override;
    Result signDigest(int32_t idx, const std::string& name, int32_t spec, const std::string& digest,
                      const std::vector<uint8_t>& hash, std::vector<uint8_t>& signature) override;

    // Removes the public or private key of (name, spec), as ContainerStore::removeKey() says.
    Result deleteKey(int32_t idx, const std::string& name, int32_t spec, softkey::ObjectKind kind);
    // Whether the PIN of `kind` has been set (false on a blank key and for the user PIN after initToken()).
    Result isPinSet(int32_t idx, PinKind kind, bool& set);
    // Formats the key as a token initialisation does: proves `soPin` on an initialised key (a wrong one
    // costs a try) or sets it on a blank one, keeps both PIN policies, the maker's texts and the disk size,
    // empties the key and leaves the user PIN to be set by initUserPin(). Ends every login to the key.
    Result initToken(int32_t idx, const SecureString& soPin, const std::string& utf8Label);
    // Sets the user PIN under the SO login (which unlocks a locked PIN); QR_USER_NOT_LOGGED_IN without it.
    Result initUserPin(int32_t idx, const SecureString& newUserPin);
    // Starts one call of the PKCS#11 module, which looks at a key several times in one call: from now on a
    // key found unchanged since its last lock is taken as unchanged for the rest of the call, instead of
    // costing two system calls at every look. A driver never asked for it (the window's) looks every time.
    void startModuleCall();
    // Makes the next read of the key `serial` look at its file in full rather than take the watch's word
    // (for the module's C_OpenSession, which must fail at once on a key that is gone).
    void lookInFullNextTime(const std::string& serial);
    // How the module's watch of the keys folder takes its events: on a thread of its own (the module's
    // choice, unless the program forbids it threads) or at each call (the default).
    void setWatchTaking(softkey::FolderWatch::Taking taking) { watchTaking_ = taking; }
    // The key's session epoch, which changes whenever the key is plugged in again or formatted, and who is
    // logged in to it in this process (`role` empty for nobody), read together in one look at the key.
    Result loginState(int32_t idx, int64_t& epoch, std::optional<PinKind>& role);

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
    // The first step of every PIN check: spends a try of `kind` in a write committed on its own, after
    // `before(key)` (which may throw to refuse the call), so that a process killed while the PIN is checked
    // has spent it. The answer when the PIN cannot be tried (nothing is written then, and `retriesLeft`
    // tells the tries), a failure of the call, or std::nullopt once the try is spent.
    std::optional<Result> spendPinTry(int32_t idx, PinKind kind, const SecureString& pin,
                                      int32_t& retriesLeft,
                                      const std::function<void(softkey::PluggedKey& key)>& before = {});
    // Proves `verifiedPin` and, when it is right, sets `replacedKind`'s PIN to `newPin`.
    Result replacePin(int32_t idx, PinKind verifiedKind, const SecureString& verifiedPin,
                      PinKind replacedKind, const SecureString& newPin);
    // The open key of `serial`, opened when it is not.
    softkey::PluggedKey& plugged(const std::string& serial);
    // The user's login to `key` and its master key; throw QR_USER_NOT_LOGGED_IN without one.
    softkey::LoginSessions::Session& userSession(const softkey::PluggedKey& key,
                                                 const softkey::KeyRecord& record);
    const SecureBytes& requireUser(const softkey::PluggedKey& key, const softkey::KeyRecord& record);
    // What a format and an initialisation share, inside their transaction: empties the key (disk area and
    // containers), keeps `record` as its initialised record under a new session epoch, lets `savePins`
    // write the PINs, commits, and ends every login to the key.
    void startAfresh(softkey::PluggedKey& key, softkey::KeyRecord& record, SqliteTransaction& transaction,
                     const std::function<void(softkey::KeyDatabase& database)>& savePins);
    bool isLoggedIn(const softkey::PluggedKey& key, const softkey::KeyRecord& record, PinKind role);

    std::filesystem::path keysFolder_;
    std::vector<std::string> serials_;
    // Watches the keys folder for the module's calls, which read the same key many times a second; made
    // before any key it serves, so it outlives them.
    std::unique_ptr<softkey::FolderWatch> watch_;
    softkey::FolderWatch::Taking watchTaking_ = softkey::FolderWatch::Taking::AtEachQuestion;
    std::map<std::string, std::unique_ptr<softkey::PluggedKey>> keys_; // by serial
    softkey::LoginSessions sessions_;
    bool moduleCalls_ = false; // since the first startModuleCall()
    std::mutex mutex_;
};

} // namespace quillard
