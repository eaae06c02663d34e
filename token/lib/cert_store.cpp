#include "cert_store.h"

#include "der_coding.h"
#include "hex_text.h"
#include "openssl_handles.h"
#include "openssl_providers.h"
#include "private_files.h"
#include "quillard_errors.h"
#include "token/lib/sqlite/sqlite_connection.h"
#include "token/lib/sqlite/storage_error.h"

namespace quillard {

namespace {

// Names are 8-bit text in whatever code page the caller uses, so they are kept as bytes (BLOB), never
// reinterpreted.
constexpr const char* Schema = "CREATE TABLE IF NOT EXISTS certificates ("
                               " thumbprint TEXT PRIMARY KEY,"
                               " csp BLOB NOT NULL,"
                               " container BLOB NOT NULL,"
                               " spec INTEGER NOT NULL,"
                               " certificate BLOB NOT NULL);"
                               "CREATE INDEX IF NOT EXISTS certificates_by_csp ON certificates(csp);";

// Opens the store and makes sure its table exists. A new store is created owner-only and an existing one is
// tightened; one that another user owns and others may read is refused.
SqliteConnection openStore(const std::filesystem::path& path, SqliteConnection::OpenMode mode) {
    Result access =
        mode == SqliteConnection::OpenMode::CreateIfMissing ? createPrivateFile(path) : makePrivateFile(path);
    if (access != QR_OK)
        throw StorageError(access, path.string() + " cannot be made private to its owner");
    SqliteConnection db(path, mode);
    db.execute(Schema);
    return db;
}

// Runs `work` on the database; whatever way the database fails, the store answers QR_STORAGE_ERROR, except
// for a store it refuses to use because others may read it.
template <typename Work> Result storageResult(Work&& work) {
    try {
        work();
        return QR_OK;
    } catch (const StorageError& error) {
        return error.code() == QR_FILE_NOT_PRIVATE ? QR_FILE_NOT_PRIVATE : QR_STORAGE_ERROR;
    }
}

bool isOneCertificate(std::span<const uint8_t> der) {
    return decodeWholeDer<X509Ptr>(decodeCertificateInLibraryContext, der.data(), der.size()) != nullptr;
}

std::string sha1Thumbprint(std::span<const uint8_t> der) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    std::size_t length = 0;
    if (!EVP_Q_digest(libraryContext(), "SHA1", nullptr, der.data(), der.size(), digest, &length))
        return {};
    return upperHex(digest, length);
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
    if (Result result = makePrivateFolder(path_.parent_path()); result != QR_OK)
        return result;
    return storageResult([&] {
        SqliteConnection db = openStore(path_, SqliteConnection::OpenMode::CreateIfMissing);
        db.prepare("INSERT OR REPLACE INTO certificates (thumbprint, csp, container, spec, certificate)"
                   " VALUES (?, ?, ?, ?, ?)")
            .bindText(1, thumbprint)
            .bindBlob(2, csp.data(), csp.size())
            .bindBlob(3, container.data(), container.size())
            .bindInteger(4, spec)
            .bindBlob(5, certificateDer.data(), certificateDer.size())
            .run();
    });
}

Result CertStore::removeAllForCsp(const std::string& csp) {
    std::error_code error;
    if (!std::filesystem::exists(path_, error))
        return error ? QR_STORAGE_ERROR : QR_OK;
    return storageResult([&] {
        SqliteConnection db = openStore(path_, SqliteConnection::OpenMode::ExistingOnly);
        db.prepare("DELETE FROM certificates WHERE csp = ?").bindBlob(1, csp.data(), csp.size()).run();
    });
}

Result CertStore::list(std::vector<CertStoreEntry>& out) const {
    std::error_code error;
    if (!std::filesystem::exists(path_, error)) {
        out.clear();
        return error ? QR_STORAGE_ERROR : QR_OK;
    }
    std::vector<CertStoreEntry> entries;
    Result result = storageResult([&] {
        SqliteConnection db = openStore(path_, SqliteConnection::OpenMode::ExistingOnly);
        SqliteStatement select = db.prepare(
            "SELECT thumbprint, csp, container, spec, certificate FROM certificates ORDER BY rowid");
        while (select.step())
            entries.push_back({select.text(0), select.text(1), select.text(2),
                               static_cast<int32_t>(select.integer(3)), select.blob(4)});
    });
    if (result == QR_OK)
        out = std::move(entries);
    return result;
}

} // namespace quillard
