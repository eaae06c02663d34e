#include "key_database.h"

#include "softkey_error.h"

namespace quillard::softkey {

namespace {

constexpr int64_t kSchemaVersion = 1;

constexpr const char* kSchema = R"sql(
CREATE TABLE key_info (
    id INTEGER PRIMARY KEY CHECK (id = 1),
    serial TEXT NOT NULL, label TEXT NOT NULL, manufacturer TEXT NOT NULL, model TEXT NOT NULL,
    issuer TEXT NOT NULL, product_id INTEGER NOT NULL, total_memory INTEGER NOT NULL,
    disk_bytes INTEGER NOT NULL, hardware_version INTEGER NOT NULL, firmware_version INTEGER NOT NULL,
    initialised INTEGER NOT NULL, kdf_iterations INTEGER NOT NULL, session_epoch INTEGER NOT NULL);
CREATE TABLE pins (
    kind INTEGER PRIMARY KEY, min_length INTEGER NOT NULL, max_length INTEGER NOT NULL,
    max_retries INTEGER NOT NULL, retries_left INTEGER NOT NULL,
    salt BLOB NOT NULL, verifier BLOB NOT NULL, wrapped_master_key BLOB NOT NULL);
CREATE TABLE containers (id INTEGER PRIMARY KEY AUTOINCREMENT, name BLOB NOT NULL UNIQUE);
CREATE TABLE objects (
    container_id INTEGER NOT NULL REFERENCES containers(id) ON DELETE CASCADE,
    spec INTEGER NOT NULL, kind INTEGER NOT NULL, algorithm INTEGER NOT NULL, bits INTEGER NOT NULL,
    data BLOB NOT NULL, PRIMARY KEY (container_id, spec, kind));
PRAGMA user_version = 1;
)sql";

constexpr const char* kKeyColumns =
    "serial, label, manufacturer, model, issuer, product_id, total_memory, "
    "disk_bytes, hardware_version, firmware_version, initialised, kdf_iterations, "
    "session_epoch";

int64_t pinKindValue(PinKind kind) {
    return kind == PinKind::User ? 1 : 0;
}

void bindKey(SqliteStatement& statement, const KeyRecord& key) {
    statement.bindText(1, key.serial)
        .bindText(2, key.label)
        .bindText(3, key.manufacturer)
        .bindText(4, key.model)
        .bindText(5, key.issuer)
        .bindInteger(6, key.productId)
        .bindInteger(7, key.totalMemory)
        .bindInteger(8, static_cast<int64_t>(key.diskBytes))
        .bindInteger(9, key.hardwareVersion)
        .bindInteger(10, key.firmwareVersion)
        .bindInteger(11, key.initialised ? 1 : 0)
        .bindInteger(12, key.kdfIterations)
        .bindInteger(13, key.sessionEpoch);
}

} // namespace

KeyDatabase KeyDatabase::openExisting(const std::filesystem::path& file) {
    KeyDatabase database(SqliteConnection(file, SqliteConnection::OpenMode::ExistingOnly));
    database.checkSchema();
    return database;
}

KeyDatabase KeyDatabase::createNew(const std::filesystem::path& file, const KeyRecord& key) {
    KeyDatabase database(SqliteConnection(file, SqliteConnection::OpenMode::CreateIfMissing));
    SqliteTransaction transaction = database.beginWrite();
    database.connection_.execute(kSchema);
    auto insert = database.connection_.prepare(std::string("INSERT INTO key_info (id, ") + kKeyColumns +
                                               ") VALUES (1, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    bindKey(insert, key);
    insert.run();
    transaction.commit();
    return database;
}

template <typename T> const T* KeyDatabase::recall(const std::optional<T>& kept) const {
    if (memoMode_ == MemoMode::Off)
        return nullptr;
    if (kept)
        return &*kept;
    if (memoMode_ == MemoMode::Only)
        throw NotKept{};
    return nullptr;
}

template <typename Map, typename Key>
const typename Map::mapped_type* KeyDatabase::recall(const Map& kept, const Key& key) const {
    if (memoMode_ == MemoMode::Off)
        return nullptr;
    auto found = kept.find(key);
    if (found != kept.end())
        return &found->second;
    if (memoMode_ == MemoMode::Only)
        throw NotKept{};
    return nullptr;
}

bool KeyDatabase::keeping(std::size_t bytes) {
    if (memoMode_ != MemoMode::Record || memo_.bytes + bytes > kMostMemoBytes)
        return false;
    memo_.bytes += bytes;
    return true;
}

void KeyDatabase::forgetMemo() {
    memo_ = Memo{};
}

void KeyDatabase::checkSchema() {
    auto version = connection_.reuse("PRAGMA user_version");
    if (version->step() && version->integer(0) == kSchemaVersion)
        return;
    throw SoftkeyError(QR_TOKEN_NOT_RECOGNIZED, "not a virtual key database of this version");
}

KeyRecord KeyDatabase::key() {
    static const std::string kSelect = std::string("SELECT ") + kKeyColumns + " FROM key_info WHERE id = 1";
    auto reused = connection_.reuse(kSelect);
    SqliteStatement& select = *reused;
    if (!select.step())
        throw SoftkeyError(QR_TOKEN_NOT_RECOGNIZED, "the key record is missing");
    KeyRecord key;
    key.serial = select.text(0);
    key.label = select.text(1);
    key.manufacturer = select.text(2);
    key.model = select.text(3);
    key.issuer = select.text(4);
    key.productId = static_cast<int32_t>(select.integer(5));
    key.totalMemory = select.integer(6);
    key.diskBytes = static_cast<uint64_t>(select.integer(7));
    key.hardwareVersion = static_cast<int32_t>(select.integer(8));
    key.firmwareVersion = static_cast<int32_t>(select.integer(9));
    key.initialised = select.integer(10) != 0;
    key.kdfIterations = static_cast<int32_t>(select.integer(11));
    key.sessionEpoch = select.integer(12);
    return key;
}

void KeyDatabase::saveKey(const KeyRecord& key) {
    forgetMemo();
    auto update = connection_.reuse(
        "UPDATE key_info SET serial = ?, label = ?, manufacturer = ?, model = ?, issuer = ?, product_id = ?, "
        "total_memory = ?, disk_bytes = ?, hardware_version = ?, firmware_version = ?, initialised = ?, "
        "kdf_iterations = ?, session_epoch = ? WHERE id = 1");
    bindKey(*update, key);
    update->run();
}

PinRecord KeyDatabase::pin(PinKind kind) {
    std::optional<PinRecord>& kept = memo_.pins[pinKindValue(kind)];
    if (const PinRecord* recalled = recall(kept))
        return *recalled;
    auto reused =
        connection_.reuse("SELECT min_length, max_length, max_retries, retries_left, salt, verifier, "
                          "wrapped_master_key FROM pins WHERE kind = ?");
    SqliteStatement& select = *reused;
    select.bindInteger(1, pinKindValue(kind));
    if (!select.step())
        throw SoftkeyError(QR_TOKEN_NOT_RECOGNIZED, "a PIN record is missing");
    PinRecord record;
    record.policy.minLength = static_cast<int>(select.integer(0));
    record.policy.maxLength = static_cast<int>(select.integer(1));
    record.policy.maxRetries = static_cast<int>(select.integer(2));
    record.retriesLeft = static_cast<int>(select.integer(3));
    record.salt = select.blob(4);
    record.verifier = select.blob(5);
    record.wrappedMasterKey = select.blob(6);
    if (keeping(record.salt.size() + record.verifier.size() + record.wrappedMasterKey.size()))
        kept = record;
    return record;
}

void KeyDatabase::savePin(PinKind kind, const PinRecord& record) {
    forgetMemo();
    auto upsert = connection_.reuse("INSERT OR REPLACE INTO pins (kind, min_length, max_length, max_retries, "
                                    "retries_left, salt, verifier, wrapped_master_key) "
                                    "VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
    upsert->bindInteger(1, pinKindValue(kind))
        .bindInteger(2, record.policy.minLength)
        .bindInteger(3, record.policy.maxLength)
        .bindInteger(4, record.policy.maxRetries)
        .bindInteger(5, record.retriesLeft)
        .bindBlob(6, record.salt)
        .bindBlob(7, record.verifier)
        .bindBlob(8, record.wrappedMasterKey)
        .run();
}

void KeyDatabase::setRetriesLeft(PinKind kind, int retriesLeft) {
    forgetMemo();
    connection_.reuse("UPDATE pins SET retries_left = ? WHERE kind = ?")
        ->bindInteger(1, retriesLeft)
        .bindInteger(2, pinKindValue(kind))
        .run();
}

std::vector<std::string> KeyDatabase::containerNames() {
    if (const std::vector<std::string>* recalled = recall(memo_.names))
        return *recalled;
    auto select = connection_.reuse("SELECT name FROM containers ORDER BY id");
    std::vector<std::string> names;
    while (select->step()) {
        std::vector<uint8_t> name = select->blob(0);
        names.emplace_back(name.begin(), name.end());
    }
    std::size_t bytes = 0;
    for (const std::string& name : names)
        bytes += name.size();
    if (keeping(bytes))
        memo_.names = names;
    return names;
}

std::optional<int64_t> KeyDatabase::findContainer(std::string_view name) {
    if (const std::optional<int64_t>* recalled = recall(memo_.containers, name))
        return *recalled;
    auto select = connection_.reuse("SELECT id FROM containers WHERE name = ?");
    select->bindBlob(1, name.data(), name.size());
    std::optional<int64_t> container;
    if (select->step())
        container = select->integer(0);
    if (keeping(name.size()))
        memo_.containers.emplace(name, container);
    return container;
}

void KeyDatabase::addContainer(std::string_view name) {
    forgetMemo();
    connection_.reuse("INSERT INTO containers (name) VALUES (?)")
        ->bindBlob(1, name.data(), name.size())
        .run();
}

void KeyDatabase::removeContainer(int64_t container) {
    forgetMemo();
    connection_.reuse("DELETE FROM containers WHERE id = ?")->bindInteger(1, container).run();
}

void KeyDatabase::removeAllContainers() {
    forgetMemo();
    connection_.execute("DELETE FROM objects; DELETE FROM containers;");
}

std::optional<StoredObject> KeyDatabase::object(int64_t container, int32_t spec, ObjectKind kind) {
    const auto place = std::make_tuple(container, spec, kind);
    if (const std::optional<StoredObject>* recalled = recall(memo_.objects, place))
        return *recalled;
    auto select = connection_.reuse(
        "SELECT algorithm, bits, data FROM objects WHERE container_id = ? AND spec = ? AND kind = ?");
    select->bindInteger(1, container).bindInteger(2, spec).bindInteger(3, static_cast<int64_t>(kind));
    std::optional<StoredObject> object;
    if (select->step())
        object = StoredObject{static_cast<int32_t>(select->integer(0)),
                              static_cast<int32_t>(select->integer(1)), select->blob(2)};
    if (keeping(object ? object->data.size() : 0))
        memo_.objects.emplace(place, object);
    return object;
}

void KeyDatabase::saveObject(int64_t container, int32_t spec, ObjectKind kind, const StoredObject& object) {
    forgetMemo();
    connection_
        .reuse("INSERT OR REPLACE INTO objects (container_id, spec, kind, algorithm, bits, data) "
               "VALUES (?, ?, ?, ?, ?, ?)")
        ->bindInteger(1, container)
        .bindInteger(2, spec)
        .bindInteger(3, static_cast<int64_t>(kind))
        .bindInteger(4, object.algorithm)
        .bindInteger(5, object.bits)
        .bindBlob(6, object.data)
        .run();
}

bool KeyDatabase::removeObject(int64_t container, int32_t spec, ObjectKind kind) {
    forgetMemo();
    connection_.reuse("DELETE FROM objects WHERE container_id = ? AND spec = ? AND kind = ?")
        ->bindInteger(1, container)
        .bindInteger(2, spec)
        .bindInteger(3, static_cast<int64_t>(kind))
        .run();
    return connection_.changedRows() > 0;
}

int64_t KeyDatabase::usedMemory() {
    if (const int64_t* recalled = recall(memo_.usedMemory))
        return *recalled;
    auto select =
        connection_.reuse("SELECT (SELECT COALESCE(SUM(length(name)), 0) + ? * COUNT(*) FROM containers) + "
                          "(SELECT COALESCE(SUM(length(data)), 0) + ? * COUNT(*) FROM objects)");
    select->bindInteger(1, kContainerOverhead).bindInteger(2, kObjectOverhead);
    select->step();
    int64_t used = select->integer(0);
    if (keeping(0))
        memo_.usedMemory = used;
    return used;
}

} // namespace quillard::softkey
