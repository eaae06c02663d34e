// The database of one virtual key: one SQLite file holding the key record, both PINs (verifiers, counters and
// wrapped master keys), the containers and their objects. Callers hold a transaction around each use, so a
// crash leaves every change whole or absent and processes sharing a key see each other's changes one at a
// time.
#pragma once

#include "driver.h"
#include "key_records.h"
#include "sqlite/sqlite_connection.h"
#include "sqlite/sqlite_transaction.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillard::softkey {

class KeyDatabase {
public:
    // Memory accounting: what a container or an object costs of the key's memory beyond its own bytes.
    static constexpr int64_t kContainerOverhead = 64;
    static constexpr int64_t kObjectOverhead = 32;

    // Throws StorageError(QR_FILE_NOT_FOUND) when the file is missing and StorageError(QR_FILE_UNUSABLE) when
    // it is no database; SoftkeyError(QR_TOKEN_NOT_RECOGNIZED) when it is not a key database of this version.
    // Every other method throws StorageError when the database fails.
    static KeyDatabase openExisting(const std::filesystem::path& file);
    // Creates `file` with the tables and the key record; the PINs are saved afterwards with savePin().
    static KeyDatabase createNew(const std::filesystem::path& file, const KeyRecord& key);

    SqliteTransaction beginRead() { return SqliteTransaction(connection_, SqliteTransaction::Kind::Read); }
    SqliteTransaction beginWrite() { return SqliteTransaction(connection_, SqliteTransaction::Kind::Write); }
    SqliteTransaction beginExclusive() {
        return SqliteTransaction(connection_, SqliteTransaction::Kind::Exclusive);
    }

    KeyRecord key();
    void saveKey(const KeyRecord& key);
    PinRecord pin(PinKind kind);
    void savePin(PinKind kind, const PinRecord& record);
    void setRetriesLeft(PinKind kind, int retriesLeft);

    // Container names in creation order.
    std::vector<std::string> containerNames();
    std::optional<int64_t> findContainer(std::string_view name);
    void addContainer(std::string_view name);
    void removeContainer(int64_t container);
    void removeAllContainers();

    std::optional<StoredObject> object(int64_t container, int32_t spec, ObjectKind kind);
    void saveObject(int64_t container, int32_t spec, ObjectKind kind, const StoredObject& object);
    // False when there was no such object.
    bool removeObject(int64_t container, int32_t spec, ObjectKind kind);

    // Bytes of memory taken by containers and objects, overheads included.
    int64_t usedMemory();

private:
    explicit KeyDatabase(SqliteConnection connection) : connection_(std::move(connection)) {}
    void checkSchema();

    SqliteConnection connection_;
};

} // namespace quillard::softkey
