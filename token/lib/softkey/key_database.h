// The database of one virtual key: one SQLite file holding the key record, both PINs (verifiers, counters and
// wrapped master keys), the containers and their objects. Callers hold a transaction around each use, so a
// crash leaves every change whole or absent and processes sharing a key see each other's changes one at a
// time. Its statements are prepared once and kept for as long as the object lives, and it can keep what its
// reads answered (the memo) for a caller that knows the file unchanged since.
#pragma once

#include "key_records.h"
#include "token/lib/driver.h"
#include "token/lib/sqlite/sqlite_connection.h"
#include "token/lib/sqlite/sqlite_transaction.h"

#include <array>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
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

    // Throws SoftkeyError(QR_TOKEN_NOT_RECOGNIZED) unless the file holds a key database of this version.
    void checkSchema();
    // As SqliteConnection::dataVersion(), hasMoved() and peekFile() say.
    uint32_t dataVersion() { return connection_.dataVersion(); }
    bool hasMoved() { return connection_.hasMoved(); }
    bool peekFile(int64_t offset, void* bytes, int size) { return connection_.peekFile(offset, bytes, size); }

    // How the reads above but key() use the memo. Off: every read asks the database (the start). Record: a
    // read answers from the memo, else asks the database and keeps the answer; for a caller inside a read
    // transaction that knows the memo describes the file as it is. Only: a read answers from the memo or
    // throws NotKept; for a caller without a lock that knows the file unchanged since the memo was recorded.
    // Every change through this object forgets the memo.
    enum class MemoMode { Off, Record, Only };
    struct NotKept {};
    void setMemoMode(MemoMode mode) { memoMode_ = mode; }
    void forgetMemo();

private:
    // The answers kept; std::nullopt inside a map stands for "there is none".
    struct Memo {
        std::array<std::optional<PinRecord>, 2> pins;
        std::optional<std::vector<std::string>> names;
        std::map<std::string, std::optional<int64_t>, std::less<>> containers;
        std::map<std::tuple<int64_t, int32_t, ObjectKind>, std::optional<StoredObject>> objects;
        std::optional<int64_t> usedMemory;
        std::size_t bytes = 0; // of the names and objects kept
    };
    // A memo beyond this many bytes keeps no more answers.
    static constexpr std::size_t kMostMemoBytes = 16u << 20;

    explicit KeyDatabase(SqliteConnection connection) : connection_(std::move(connection)) {}
    // The kept answer, or nullptr when the database must be asked; throws NotKept in MemoMode::Only.
    template <typename T> const T* recall(const std::optional<T>& kept) const;
    template <typename Map, typename Key>
    const typename Map::mapped_type* recall(const Map& kept, const Key& key) const;
    bool keeping(std::size_t bytes);

    SqliteConnection connection_;
    MemoMode memoMode_ = MemoMode::Off;
    Memo memo_;
};

} // namespace quillard::softkey
