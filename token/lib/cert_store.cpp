#include "cert_store.h"

#include "openssl_handles.h"
#include "quillard_errors.h"

#include <openssl/err.h>
#include <sqlite3.h>

#include <climits>
#include <memory>

namespace quillard {

namespace {

constexpr int BusyTimeoutMs = 5000;

constexpr const char* Schema = "CREATE TABLE IF NOT EXISTS certificates ("
                               " thumbprint TEXT PRIMARY KEY,"
                               " csp BLOB NOT NULL,"
                               " container BLOB NOT NULL,"
                               " spec INTEGER NOT NULL,"
                               " certificate BLOB NOT NULL);"
                               "CREATE INDEX IF NOT EXISTS certificates_by_csp ON certificates(csp);";

struct DatabaseCloser {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct StatementFinalizer {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Database = std::unique_ptr<sqlite3, DatabaseCloser>;
using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

// Opens the store and makes sure its table exists; null when that fails.
Database openDatabase(const std::filesystem::path& path) {
    sqlite3* raw = nullptr;
    int status = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    Database db(raw);
    if (status != SQLITE_OK)
        return nullptr;
    sqlite3_busy_timeout(db.get(), BusyTimeoutMs);
    if (sqlite3_exec(db.get(), Schema, nullptr, nullptr, nullptr) != SQLITE_OK)
        return nullptr;
    return db;
}

Statement prepare(sqlite3* db, const char* sql) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &raw, nullptr) != SQLITE_OK)
        return nullptr;
    return Statement(raw);
}

bool bindBytes(sqlite3_stmt* statement, int index, const void* data, std::size_t size) {
    static const char nothing = 0; // a null pointer would bind SQL NULL instead of an empty value
    return sqlite3_bind_blob64(statement, index, size ? data : &nothing, size, SQLITE_TRANSIENT) == SQLITE_OK;
}

// Names are 8-bit text in whatever code page the caller uses, so they are kept as bytes, never reinterpreted.
bool bindName(sqlite3_stmt* statement, int index, const std::string& name) {
    return bindBytes(statement, index, name.data(), name.size());
}

bool bindAscii(sqlite3_stmt* statement, int index, const std::string& text) {
    return sqlite3_bind_text(statement, index, text.c_str(), static_cast<int>(text.size()),
                             SQLITE_TRANSIENT) == SQLITE_OK;
}

std::string columnString(sqlite3_stmt* statement, int column) {
    const auto* data = static_cast<const char*>(sqlite3_column_blob(statement, column));
    return data ? std::string(data, static_cast<std::size_t>(sqlite3_column_bytes(statement, column)))
                : std::string();
}

std::vector<uint8_t> columnBytes(sqlite3_stmt* statement, int column) {
    const auto* data = static_cast<const uint8_t*>(sqlite3_column_blob(statement, column));
    return data ? std::vector<uint8_t>(data, data + sqlite3_column_bytes(statement, column))
                : std::vector<uint8_t>();
}

bool isOneCertificate(std::span<const uint8_t> der) {
    if (der.empty() || der.size() > static_cast<std::size_t>(LONG_MAX))
        return false;
    const unsigned char* cursor = der.data();
    X509Ptr certificate(d2i_X509(nullptr, &cursor, static_cast<long>(der.size())));
    ERR_clear_error();
    return certificate && cursor == der.data() + der.size();
}

std::string sha1Thumbprint(std::span<const uint8_t> der) {
    static constexpr char Digits[] = "0123456789ABCDEF";
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!EVP_Digest(der.data(), der.size(), digest, &length, EVP_sha1(), nullptr))
        return {};
    std::string text;
    for (unsigned int i = 0; i < length; ++i) {
        text.push_back(Digits[digest[i] >> 4]);
        text.push_back(Digits[digest[i] & 0x0F]);
    }
    return text;
}

} // namespace

CertStore::CertStore(std::filesystem::path path) : path_(std::move(path)) {}

Result CertStore::add(const std::string& container, const std::string& csp, int32_t spec,
                      std::span<const uint8_t> certificateDer) {
    if (container.empty() || csp.empty() || (spec != 1 && spec != 2) || !isOneCertificate(certificateDer))
        return QR_ARGUMENTS_BAD;
    const std::string thumbprint = sha1Thumbprint(certificateDer);
    if (thumbprint.empty())
        return QR_GENERAL_ERROR;
    std::error_code error;
    std::filesystem::create_directories(path_.parent_path(), error);
    Database db = openDatabase(path_);
    Statement insert = db ? prepare(db.get(), "INSERT OR REPLACE INTO certificates"
                                              " (thumbprint, csp, container, spec, certificate)"
                                              " VALUES (?, ?, ?, ?, ?)")
                          : nullptr;
    bool stored = insert && bindAscii(insert.get(), 1, thumbprint) && bindName(insert.get(), 2, csp) &&
                  bindName(insert.get(), 3, container) &&
                  sqlite3_bind_int(insert.get(), 4, spec) == SQLITE_OK &&
                  bindBytes(insert.get(), 5, certificateDer.data(), certificateDer.size()) &&
                  sqlite3_step(insert.get()) == SQLITE_DONE;
    return stored ? QR_OK : QR_STORAGE_ERROR;
}

Result CertStore::removeAllForCsp(const std::string& csp) {
    std::error_code error;
    if (!std::filesystem::exists(path_, error))
        return error ? QR_STORAGE_ERROR : QR_OK;
    Database db = openDatabase(path_);
    Statement remove = db ? prepare(db.get(), "DELETE FROM certificates WHERE csp = ?") : nullptr;
    bool removed = remove && bindName(remove.get(), 1, csp) && sqlite3_step(remove.get()) == SQLITE_DONE;
    return removed ? QR_OK : QR_STORAGE_ERROR;
}

Result CertStore::list(std::vector<CertStoreEntry>& out) const {
    std::error_code error;
    if (!std::filesystem::exists(path_, error)) {
        out.clear();
        return error ? QR_STORAGE_ERROR : QR_OK;
    }
    Database db = openDatabase(path_);
    Statement select = db ? prepare(db.get(), "SELECT thumbprint, csp, container, spec, certificate"
                                              " FROM certificates ORDER BY rowid")
                          : nullptr;
    if (!select)
        return QR_STORAGE_ERROR;
    std::vector<CertStoreEntry> entries;
    int status = SQLITE_ROW;
    while ((status = sqlite3_step(select.get())) == SQLITE_ROW) {
        entries.push_back({columnString(select.get(), 0), columnString(select.get(), 1),
                           columnString(select.get(), 2), sqlite3_column_int(select.get(), 3),
                           columnBytes(select.get(), 4)});
    }
    if (status != SQLITE_DONE)
        return QR_STORAGE_ERROR;
    out = std::move(entries);
    return QR_OK;
}

} // namespace quillard
