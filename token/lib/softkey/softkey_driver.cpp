#include "softkey_driver.h"

#include "container_store.h"
#include "key_files.h"
#include "key_generator.h"
#include "key_label.h"
#include "key_moves.h"
#include "personalisation.h"
#include "pin_gate.h"
#include "plugged_key.h"
#include "softkey_error.h"
#include "token/lib/private_files.h"

#include <algorithm>

namespace quillard {

using namespace softkey;

namespace {

constexpr uint32_t kMostBytesPerWrite = 65536;
constexpr std::size_t kLongestMakerText = 32;

Personalisation personalisationFrom(const FormatSettings& settings) {
    Personalisation personalisation;
    personalisation.userPolicy = {settings.userPinMinLength, settings.userPinMaxLength,
                                  settings.userPinRetries};
    personalisation.soPolicy = {settings.soPinMinLength, settings.soPinMaxLength, settings.soPinRetries};
    personalisation.userPin = settings.userPin;
    personalisation.soPin = settings.soPin;
    return personalisation;
}

void checkFormatTexts(const FormatSettings& settings) {
    if (!KeyLabel::isValid(settings.label))
        throw SoftkeyError(QR_ARGUMENTS_BAD, "the label must be UTF-8 of fewer than 32 bytes");
    if (settings.manufacturer.size() > kLongestMakerText || settings.issuer.size() > kLongestMakerText)
        throw SoftkeyError(QR_ARGUMENTS_BAD, "manufacturer and issuer take at most 32 bytes");
}

} // namespace

SoftkeyDriver::SoftkeyDriver(std::filesystem::path keysFolder) : keysFolder_(std::move(keysFolder)) {}

SoftkeyDriver::~SoftkeyDriver() = default;

template <typename Work> Result SoftkeyDriver::guarded(Work&& work) {
    std::lock_guard<std::mutex> lock(mutex_);
    return runGuarded(std::forward<Work>(work));
}

template <SqliteTransaction::Kind kKind, typename Work>
Result SoftkeyDriver::onKey(int32_t idx, Work&& work) {
    return guarded([&]() -> Result {
        if (idx < 0 || static_cast<std::size_t>(idx) >= serials_.size())
            throw SoftkeyError(QR_SLOT_ID_INVALID, "no key at this index");
        const std::string serial = serials_[idx];
        // Set once the key is found fit to work on: what fails after that is the work's answer.
        bool checked = false;
        try {
            PluggedKey& key = plugged(serial);
            if constexpr (kKind == SqliteTransaction::Kind::Read) {
                std::optional<Result> answer = key.readUnlocked([&]() -> Result {
                    checked = true;
                    return work(key, nullptr);
                });
                if (answer)
                    return *answer;
                checked = false;
            }
            SqliteTransaction transaction =
                kKind == SqliteTransaction::Kind::Read ? key.lockForReading() : key.lockForWriting();
            checked = true;
            if constexpr (kKind != SqliteTransaction::Kind::Read) {
                // Counted once the work has committed, for the module's watches in this process.
                struct NoteChange {
                    ~NoteChange() { FolderWatch::noteChangeHere(); }
                } noteChange;
                return work(key, &transaction);
            }
            return work(key, &transaction);
        } catch (const SoftkeyError& error) {
            if (error.code() == QR_DEVICE_REMOVED)
                sessions_.close(serial);
            if (!checked || error.code() == QR_DEVICE_ERROR)
                keys_.erase(serial);
            throw;
        } catch (const StorageError&) {
            keys_.erase(serial);
            throw;
        } catch (...) {
            if (!checked)
                keys_.erase(serial);
            throw;
        }
    });
}

template <typename Read> Result SoftkeyDriver::reading(int32_t idx, Read&& read) {
    return onKey<SqliteTransaction::Kind::Read>(idx, [&](PluggedKey& key, SqliteTransaction*) {
        read(key);
        return QR_OK;
    });
}

template <typename Change> Result SoftkeyDriver::writing(int32_t idx, Change&& change) {
    return onKey<SqliteTransaction::Kind::Write>(idx, [&](PluggedKey& key, SqliteTransaction* transaction) {
        Result result = change(key);
        transaction->commit();
        return result;
    });
}

PluggedKey& SoftkeyDriver::plugged(const std::string& serial) {
    auto found = keys_.find(serial);
    if (found == keys_.end()) {
        found = keys_.emplace(serial, std::make_unique<PluggedKey>(keysFolder_, serial)).first;
        if (moduleCalls_) {
            found->second->trustCheckUntilForgotten();
            found->second->watchWith(watch_.get());
        }
    }
    return *found->second;
}

void SoftkeyDriver::startModuleCall() {
    std::lock_guard<std::mutex> lock(mutex_);
    moduleCalls_ = true;
    const bool newWatch = !watch_ || watch_->stale();
    if (newWatch)
        watch_ = std::make_unique<FolderWatch>(keysFolder_, watchTaking_);
    for (auto& [serial, key] : keys_) {
        key->trustCheckUntilForgotten();
        key->forgetCheck();
        if (newWatch)
            key->watchWith(watch_.get());
    }
}

void SoftkeyDriver::lookInFullNextTime(const std::string& serial) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (auto found = keys_.find(serial); found != keys_.end())
        found->second->lookInFullNextTime();
}

LoginSessions::Session& SoftkeyDriver::userSession(const PluggedKey& key, const KeyRecord& record) {
    LoginSessions::Session* session = sessions_.find(key.serial(), record.sessionEpoch);
    if (!session || session->role != PinKind::User)
        throw SoftkeyError(QR_USER_NOT_LOGGED_IN, "the user is not logged in");
    return *session;
}

const SecureBytes& SoftkeyDriver::requireUser(const PluggedKey& key, const KeyRecord& record) {
    return userSession(key, record).masterKey;
}

bool SoftkeyDriver::isLoggedIn(const PluggedKey& key, const KeyRecord& record, PinKind role) {
    const LoginSessions::Session* session = sessions_.find(key.serial(), record.sessionEpoch);
    return session && session->role == role;
}

Result SoftkeyDriver::find(std::vector<std::string>& serials) {
    return guarded([&] {
        KeyMoves(keysFolder_, KeyMoves::unpluggedFolderBeside(keysFolder_)).repairIfIdle();
        std::error_code error;
        if (std::filesystem::is_directory(keysFolder_, error))
            makePrivateFolder(keysFolder_); // a folder of another user still lists; its keys are refused
        serials_ = KeyFiles::serialsIn(keysFolder_);
        sessions_.keepOnly(serials_);
        std::erase_if(keys_, [&](const auto& entry) {
            return !std::binary_search(serials_.begin(), serials_.end(), entry.first);
        });
        serials = serials_;
        return QR_OK;
    });
}

Result SoftkeyDriver::connect(int32_t idx) {
    return reading(idx, [](PluggedKey&) {});
}

Result SoftkeyDriver::reloadObjects(int32_t idx) {
    return connect(idx);
}

Result SoftkeyDriver::getInfo(int32_t idx, KeyInfo& info) {
    return reading(idx, [&](PluggedKey& key) {
        KeyDatabase& database = key.database();
        const KeyRecord& record = key.record();
        PinRecord user = database.pin(PinKind::User);
        PinRecord so = database.pin(PinKind::SecurityOfficer);
        info.serial = record.serial;
        info.label = record.label;
        info.manufacturer = record.manufacturer;
        info.model = record.model;
        info.maxPinLength = user.policy.maxLength;
        info.minPinLength = user.policy.minLength;
        info.maxSoPinLength = so.policy.maxLength;
        info.minSoPinLength = so.policy.minLength;
        info.totalMemory = static_cast<int32_t>(record.totalMemory);
        info.freeMemory =
            static_cast<int32_t>(std::max<int64_t>(0, record.totalMemory - database.usedMemory()));
        info.hardwareVersion = record.hardwareVersion;
        info.firmwareVersion = record.firmwareVersion;
        info.initialised = record.initialised ? 1 : 0;
    });
}

Result SoftkeyDriver::getPinState(int32_t idx, PinKind kind, PinState& state) {
    return reading(idx, [&](PluggedKey& key) {
        state = key.database().pin(kind).state();
        state.loggedIn = isLoggedIn(key, key.record(), kind) ? 1 : 0;
    });
}

std::optional<Result> SoftkeyDriver::spendPinTry(int32_t idx, PinKind kind, const SecureString& pin,
                                                 int32_t& retriesLeft,
                                                 const std::function<void(PluggedKey& key)>& before) {
    std::optional<Result> refused;
    Result result =
        onKey<SqliteTransaction::Kind::Write>(idx, [&](PluggedKey& key, SqliteTransaction* transaction) {
            if (before)
                before(key);
            std::optional<PinGate::Outcome> outcome =
                PinGate(key.database(), key.record()).spendTry(kind, pin);
            transaction->commit();
            if (outcome) {
                refused = outcome->result;
                retriesLeft = outcome->retriesLeft;
            }
            return QR_OK;
        });
    if (result != QR_OK)
        return result;
    return refused;
}

Result SoftkeyDriver::loginState(int32_t idx, int64_t& epoch, std::optional<PinKind>& role) {
    return reading(idx, [&](PluggedKey& key) {
        const KeyRecord& record = key.record();
        epoch = record.sessionEpoch;
        const LoginSessions::Session* session = sessions_.find(key.serial(), record.sessionEpoch);
        role = session ? std::optional<PinKind>(session->role) : std::nullopt;
    });
}

Result SoftkeyDriver::login(int32_t idx, PinKind kind, const SecureString& pin, int32_t& retriesLeft) {
    if (std::optional<Result> refused = spendPinTry(idx, kind, pin, retriesLeft))
        return *refused;
    return onKey<SqliteTransaction::Kind::Write>(idx, [&](PluggedKey& key, SqliteTransaction* transaction) {
        const KeyRecord& record = key.record();
        PinGate::Outcome outcome = PinGate(key.database(), record).settle(kind, pin);
        transaction->commit();
        retriesLeft = outcome.retriesLeft;
        if (outcome.result == QR_OK)
            sessions_.open(key.serial(), kind, record.sessionEpoch, std::move(outcome.masterKey));
        return outcome.result;
    });
}

Result SoftkeyDriver::logout(int32_t idx) {
    guarded([&] {
        if (idx >= 0 && static_cast<std::size_t>(idx) < serials_.size())
            sessions_.close(serials_[idx]);
        return QR_OK;
    });
    return connect(idx);
}

Result SoftkeyDriver::changePin(int32_t idx, PinKind kind, const SecureString& oldPin,
                                const SecureString& newPin) {
    return replacePin(idx, kind, oldPin, kind, newPin);
}

Result SoftkeyDriver::unlockUserPin(int32_t idx, const SecureString& soPin, const SecureString& newUserPin) {
    return replacePin(idx, PinKind::SecurityOfficer, soPin, PinKind::User, newUserPin);
}

Result SoftkeyDriver::replacePin(int32_t idx, PinKind verifiedKind, const SecureString& verifiedPin,
                                 PinKind replacedKind, const SecureString& newPin) {
    int32_t retriesLeft = 0;
    std::optional<Result> refused =
        spendPinTry(idx, verifiedKind, verifiedPin, retriesLeft, [&](PluggedKey& key) {
            PinGate gate(key.database(), key.record());
            gate.requireInitialised();
            gate.requireAllowed(replacedKind, newPin);
        });
    if (refused)
        return *refused;
    return writing(idx, [&](PluggedKey& key) {
        PinGate gate(key.database(), key.record());
        PinGate::Outcome outcome = gate.settle(verifiedKind, verifiedPin);
        if (outcome.result == QR_OK) {
            gate.requireAllowed(replacedKind, newPin);
            gate.replace(replacedKind, newPin, outcome.masterKey);
        }
        return outcome.result;
    });
}

Result SoftkeyDriver::setLabel(int32_t idx, const std::string& utf8Label) {
    if (!KeyLabel::isValid(utf8Label))
        return QR_ARGUMENTS_BAD;
    return writing(idx, [&](PluggedKey& key) {
        KeyRecord record = key.record();
        record.label = utf8Label;
        key.database().saveKey(record);
        return QR_OK;
    });
}

Result SoftkeyDriver::format(int32_t idx, const FormatSettings& settings) {
    return onKey<SqliteTransaction::Kind::Write>(idx, [&](PluggedKey& key, SqliteTransaction* transaction) {
        KeyRecord record = key.record();
        if (record.initialised && !isLoggedIn(key, record, PinKind::SecurityOfficer))
            throw SoftkeyError(QR_USER_NOT_LOGGED_IN, "formatting an initialised key needs the SO login");
        checkFormatTexts(settings);
        Personalisation personalisation = personalisationFrom(settings);
        personalisation.check();
        record.label = settings.label;
        record.manufacturer = settings.manufacturer;
        record.issuer = settings.issuer;
        startAfresh(key, record, *transaction, [&](KeyDatabase& saved) {
            personalisation.saveTo(saved, PinVault(record.kdfIterations));
        });
        return QR_OK;
    });
}

void SoftkeyDriver::startAfresh(PluggedKey& key, KeyRecord& record, SqliteTransaction& transaction,
                                const std::function<void(KeyDatabase& database)>& savePins) {
    KeyDatabase& database = key.database();
    key.diskImage().erase();
    database.removeAllContainers();
    record.initialised = true;
    record.sessionEpoch = LoginSessions::newEpoch();
    database.saveKey(record);
    savePins(database);
    transaction.commit();
    sessions_.close(key.serial());
}

Result SoftkeyDriver::writeSectors(int32_t idx, uint32_t firstSector, uint32_t sectorCount,
                                   const uint8_t* data) {
    return writing(idx, [&](PluggedKey& key) {
        if (static_cast<uint64_t>(sectorCount) * DiskImage::kSectorSize > kMostBytesPerWrite)
            throw SoftkeyError(QR_DATA_LEN_RANGE, "at most 65536 bytes a call");
        const KeyRecord& record = key.record();
        requireUser(key, record);
        if (sectorCount == 0)
            return QR_OK;
        uint64_t sectors = record.diskBytes / DiskImage::kSectorSize;
        if (!data || static_cast<uint64_t>(firstSector) + sectorCount > sectors)
            throw SoftkeyError(QR_ARGUMENTS_BAD, "the sectors lie outside the disk area");
        key.diskImage().write(static_cast<uint64_t>(firstSector) * DiskImage::kSectorSize, data,
                              static_cast<std::size_t>(sectorCount) * DiskImage::kSectorSize);
        return QR_OK;
    });
}

Result SoftkeyDriver::listContainers(int32_t idx, std::vector<std::string>& names) {
    return reading(idx, [&](PluggedKey& key) { names = ContainerStore(key.database()).names(); });
}

Result SoftkeyDriver::createContainer(int32_t idx, const std::string& name) {
    return writing(idx, [&](PluggedKey& key) {
        const KeyRecord& record = key.record();
        requireUser(key, record);
        ContainerStore store(key.database());
        store.create(name);
        store.checkRoom(record.totalMemory);
        return QR_OK;
    });
}

Result SoftkeyDriver::deleteContainer(int32_t idx, const std::string& name) {
    return writing(idx, [&](PluggedKey& key) {
        requireUser(key, key.record());
        ContainerStore(key.database()).remove(name);
        return QR_OK;
    });
}

Result SoftkeyDriver::deleteCertificate(int32_t idx, const std::string& name, int32_t spec) {
    return writing(idx, [&](PluggedKey& key) {
        requireUser(key, key.record());
        ContainerStore(key.database()).removeCertificate(name, spec);
        return QR_OK;
    });
}

Result SoftkeyDriver::getCertificate(int32_t idx, const std::string& name, int32_t spec,
                                     std::vector<uint8_t>& der) {
    return reading(idx,
                   [&](PluggedKey& key) { der = ContainerStore(key.database()).certificate(name, spec); });
}

Result SoftkeyDriver::getPublicKey(int32_t idx, const std::string& name, int32_t spec,
                                   KeyDescription& description) {
    return reading(
        idx, [&](PluggedKey& key) { description = ContainerStore(key.database()).publicKey(name, spec); });
}

Result SoftkeyDriver::getPrivateKey(int32_t idx, const std::string& name, int32_t spec,
                                    KeyDescription& description) {
    return reading(idx, [&](PluggedKey& key) {
        const SecureBytes& masterKey = requireUser(key, key.record());
        description = ContainerStore(key.database()).privateKey(name, spec, masterKey);
    });
}

Result SoftkeyDriver::importCredential(int32_t idx, const std::string& name, int32_t spec,
                                       const Credential& credential) {
    return writing(idx, [&](PluggedKey& key) {
        const KeyRecord& record = key.record();
        const SecureBytes& masterKey = requireUser(key, record);
        ContainerStore store(key.database());
        // A container the import names that is not there yet is made in the same transaction: a failed or
        // killed import leaves no empty container behind.
        if (!key.database().findContainer(name))
            store.create(name);
        store.import(name, spec, credential, masterKey);
        store.checkRoom(record.totalMemory);
        return QR_OK;
    });
}

Result SoftkeyDriver::moduleName(int32_t, std::string& name) {
    name = "virtual";
    return QR_OK;
}

Result SoftkeyDriver::diskSize(int32_t idx, uint64_t& bytes) {
    return reading(idx, [&](PluggedKey& key) {
        bytes = key.record().diskBytes;
        return QR_OK;
    });
}

Result SoftkeyDriver::usePrivateKey(int32_t idx, const std::string& name, int32_t spec,
                                    const std::function<Result(EVP_PKEY* key)>& use) {
    return onKey<SqliteTransaction::Kind::Read>(idx, [&](PluggedKey& key, SqliteTransaction*) {
        LoginSessions::Session& login = userSession(key, key.record());
        return use(
            ContainerStore(key.database()).openPrivateKey(name, spec, login.masterKey, login.openedKeys));
    });
}

Result SoftkeyDriver::storeKeyPair(int32_t idx, const std::string& name, int32_t spec,
                                   const SecureBytes& pkcs8, KeyDescription& publicKey) {
    return writing(idx, [&](PluggedKey& key) {
        const KeyRecord& record = key.record();
        const SecureBytes& masterKey = requireUser(key, record);
        ContainerStore store(key.database());
        if (!key.database().findContainer(name))
            store.create(name);
        publicKey = store.storeKeyPair(name, spec, pkcs8, masterKey);
        store.checkRoom(record.totalMemory);
        return QR_OK;
    });
}

Result SoftkeyDriver::generateKeyPair(int32_t idx, const std::string& name, int32_t spec, int32_t algorithm,
                                      int32_t bits, KeyDescription& publicKey) {
    if (!KeyGenerator::supports(algorithm, bits))
        return QR_ARGUMENTS_BAD;
    SecureBytes pkcs8;
    if (Result result = runGuarded([&] {
            pkcs8 = KeyGenerator::generate(algorithm, bits);
            return QR_OK;
        });
        result != QR_OK)
        return result;
    return storeKeyPair(idx, name, spec, pkcs8, publicKey);
}

Result SoftkeyDriver::deleteKey(int32_t idx, const std::string& name, int32_t spec, ObjectKind kind) {
    return writing(idx, [&](PluggedKey& key) {
        requireUser(key, key.record());
        ContainerStore(key.database()).removeKey(name, spec, kind);
        return QR_OK;
    });
}

Result SoftkeyDriver::isPinSet(int32_t idx, PinKind kind, bool& set) {
    return reading(idx, [&](PluggedKey& key) { set = key.database().pin(kind).isSet(); });
}

Result SoftkeyDriver::initToken(int32_t idx, const SecureString& soPin, const std::string& utf8Label) {
    if (!KeyLabel::isValid(utf8Label))
        return QR_ARGUMENTS_BAD;
    // An initialised key proves the SO PIN first, its try spent before the check; a blank key takes any.
    bool wasInitialised = false;
    if (Result result = reading(idx, [&](PluggedKey& key) { wasInitialised = key.record().initialised; });
        result != QR_OK)
        return result;
    int32_t retriesLeft = 0;
    if (wasInitialised) {
        if (std::optional<Result> refused = spendPinTry(idx, PinKind::SecurityOfficer, soPin, retriesLeft))
            return *refused;
    }
    return onKey<SqliteTransaction::Kind::Write>(
        idx, [&](PluggedKey& key, SqliteTransaction* transaction) -> Result {
            KeyDatabase& database = key.database();
            KeyRecord record = key.record();
            if (record.initialised != wasInitialised)
                throw SoftkeyError(QR_GENERAL_ERROR, "the key was formatted by another program meanwhile");
            if (record.initialised) {
                PinGate::Outcome outcome = PinGate(database, record).settle(PinKind::SecurityOfficer, soPin);
                if (outcome.result != QR_OK) {
                    transaction->commit();
                    return outcome.result;
                }
            }
            PinRecord so = database.pin(PinKind::SecurityOfficer);
            PinRecord user = database.pin(PinKind::User);
            if (!so.policy.allows(soPin.size()))
                throw SoftkeyError(QR_PIN_LEN_RANGE, "the SO PIN's length is outside the key's PIN policy");
            record.label = utf8Label;
            startAfresh(key, record, *transaction, [&](KeyDatabase& saved) {
                PinVault vault(record.kdfIterations);
                saved.savePin(PinKind::SecurityOfficer, vault.seal(PinKind::SecurityOfficer, soPin, so.policy,
                                                                   PinVault::newMasterKey()));
                Personalisation blankUser;
                blankUser.userPolicy = user.policy;
                blankUser.saveBlankUserTo(saved);
            });
            return QR_OK;
        });
}

Result SoftkeyDriver::initUserPin(int32_t idx, const SecureString& newUserPin) {
    return writing(idx, [&](PluggedKey& key) {
        const KeyRecord& record = key.record();
        if (!isLoggedIn(key, record, PinKind::SecurityOfficer))
            throw SoftkeyError(QR_USER_NOT_LOGGED_IN, "setting the user PIN needs the SO login");
        PinGate gate(key.database(), record);
        gate.requireAllowed(PinKind::User, newUserPin);
        gate.replace(PinKind::User, newUserPin, sessions_.find(key.serial(), record.sessionEpoch)->masterKey);
        return QR_OK;
    });
}

} // namespace quillard
