#include "store/store.h"

#include <openssl/evp.h>
#include <sqlcipher/sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <utility>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/memory.h"
#include "store/entries.h"

namespace tsunagi {

namespace {

constexpr std::string_view kStoreKey = "K9T3QWMXzrb";
constexpr std::string_view kDatabaseRelativePath = "/database/keitai.mdb";
constexpr std::string_view kSourcePrefix = "data source=";
constexpr std::string_view kPasswordMarker = ";Database Password=";

std::string connectionText(const StoreLocation& location) {
    return std::string(kSourcePrefix) + location.path + std::string(kPasswordMarker) +
           location.key + ";";
}

StoreLocation locationOf(std::string_view text) {
    size_t marker = text.rfind(kPasswordMarker);
    if (text.substr(0, kSourcePrefix.size()) != kSourcePrefix || marker == std::string_view::npos)
        throw TsunagiError("接続文字列の形式が正しくありません。");
    std::string_view key = text.substr(marker + kPasswordMarker.size());
    if (!key.empty() && key.back() == ';') key.remove_suffix(1);
    return {std::string(text.substr(kSourcePrefix.size(), marker - kSourcePrefix.size())),
            std::string(key)};
}

std::string quoteLiteral(std::string_view text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') quoted += '\'';
        quoted += c;
    }
    return quoted + "'";
}

// What an SQLite failure means to the user, with SQLite's own words behind it.
std::string describeFailure(sqlite3* db) {
    if (!db) return "メモリが足りません。";
    std::string detail = sqlite3_errmsg(db);
    switch (sqlite3_errcode(db) & 0xFF) {
        case SQLITE_NOTADB:
            return "データベースのファイルではないか、パスワードが違います（" + detail + "）。";
        case SQLITE_CORRUPT:
            return "データベースのファイルが壊れています（" + detail + "）。";
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return "データベースはほかのプログラムが使っています（" + detail + "）。";
        case SQLITE_READONLY:
            return "データベースに書き込めません（" + detail + "）。";
        case SQLITE_FULL:
            return "ディスクがいっぱいです（" + detail + "）。";
        case SQLITE_CANTOPEN:
            return "データベースのファイルを開けません（" + detail + "）。";
        case SQLITE_IOERR:
            return "データベースの読み書きに失敗しました（" + detail + "）。";
        default:
            return "データベースの処理に失敗しました（" + detail + "）。";
    }
}

[[noreturn]] void storeFailure(const std::string& path, const std::string& what, sqlite3* db) {
    throw TsunagiError(path, 0, what + "：" + describeFailure(db));
}

// Connections never cross threads and nobody reads SQLite's memory statistics, so its global
// locks and counters are only cost. This must happen before SQLite starts.
void configureSqliteOnce() {
    static const bool configured = [] {
        sqlite3_config(SQLITE_CONFIG_MULTITHREAD);
        sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
        return sqlite3_initialize() == SQLITE_OK;
    }();
    (void)configured;
}

// SQLCipher makes a connection's key from the password anew on every open: 64,000 rounds of
// PBKDF2-HMAC-SHA1 over the salt in the file's first 16 bytes, some 60 ms. The key of a
// password and salt is made here once per run and handed over raw ("x'…'"), with which SQLCipher
// still takes the salt from the file; a raw key the file does not take is never tried again.
constexpr int kKeyRounds = 64000;
constexpr size_t kSaltBytes = 16;

struct RawKeys {
    std::mutex mutex;
    std::map<std::string, std::string> keys;  // password, NUL, salt → raw key, "" once refused
};

RawKeys& rawKeys() {
    static RawKeys keys;
    return keys;
}

// What a raw key is made for and remembered by: the password and the file's salt; nothing for
// a file too short to hold one.
std::optional<std::string> keySlot(const std::string& path, const std::string& password) {
    std::string salt(kSaltBytes, '\0');
    std::ifstream file(path, std::ios::binary);
    if (!file.read(salt.data(), static_cast<std::streamsize>(salt.size()))) return std::nullopt;
    return password + '\0' + salt;
}

// The raw key of a slot, as a literal for PRAGMA key; nothing once the file refused it.
std::optional<std::string> rawKeyFor(const std::string& slot) {
    RawKeys& cache = rawKeys();
    {
        std::lock_guard lock(cache.mutex);
        if (auto known = cache.keys.find(slot); known != cache.keys.end()) {
            if (known->second.empty()) return std::nullopt;
            return known->second;
        }
    }
    size_t split = slot.find('\0');
    std::string key =
        quoteLiteral("x'" +
                     derivedKeyHex(std::string_view(slot).substr(0, split),
                                   std::string_view(slot).substr(split + 1), kKeyRounds) +
                     "'");
    std::lock_guard lock(cache.mutex);
    return cache.keys.emplace(slot, std::move(key)).first->second;
}

void refuseRawKey(const std::string& slot) {
    RawKeys& cache = rawKeys();
    std::lock_guard lock(cache.mutex);
    cache.keys[slot].clear();
}

// Opens the file and sets its key; false when the first read fails (a wrong key, or a file
// that is no database: the key is only tried then).
bool openKeyed(const std::string& path, int flags, const std::string& keyLiteral,
               std::shared_ptr<sqlite3>& db) {
    sqlite3* raw = nullptr;
    // Each connection serves one operation on one thread, so SQLite need not lock for us.
    int rc = sqlite3_open_v2(path.c_str(), &raw, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    db.reset(raw, sqlite3_close_v2);
    if (rc != SQLITE_OK) storeFailure(path, "データベースを開けません", raw);
    sqlite3_busy_timeout(raw, 2000);
    if (!keyLiteral.empty()) {
        std::string pragma = "PRAGMA key = " + keyLiteral + ";";
        if (sqlite3_exec(raw, pragma.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
            storeFailure(path, "データベースの鍵を設定できません", raw);
    }
    return sqlite3_exec(raw, "SELECT count(*) FROM sqlite_master;", nullptr, nullptr, nullptr) ==
           SQLITE_OK;
}

std::shared_ptr<sqlite3> openDatabase(const std::string& path, const std::string& password,
                                      int flags) {
    configureSqliteOnce();
    std::shared_ptr<sqlite3> db;
    if (!password.empty()) {
        if (std::optional<std::string> slot = keySlot(path, password)) {
            if (std::optional<std::string> raw = rawKeyFor(*slot)) {
                if (openKeyed(path, flags, *raw, db)) return db;
                refuseRawKey(*slot);
            }
        }
    }
    if (!openKeyed(path, flags, password.empty() ? "" : quoteLiteral(password), db))
        storeFailure(path, "データベースを開けません", db.get());
    return db;
}

}  // namespace

std::string derivedKeyHex(std::string_view password, std::string_view salt, int rounds) {
    unsigned char key[32];
    if (PKCS5_PBKDF2_HMAC_SHA1(password.data(), static_cast<int>(password.size()),
                               reinterpret_cast<const unsigned char*>(salt.data()),
                               static_cast<int>(salt.size()), rounds, sizeof key, key) != 1)
        throw TsunagiError("データベースの鍵を作れません。");
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    for (unsigned char byte : key) {
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 15];
    }
    return hex;
}

std::string connectionStringFor(const std::string& databasePath) {
    return connectionText({databasePath, std::string(kStoreKey)});
}

std::string ConnectionString(const std::string& programFolder) {
    return connectionStringFor(programFolder + std::string(kDatabaseRelativePath));
}

Statement::~Statement() {
    if (statement_) sqlite3_finalize(statement_);
}

Statement::Statement(Statement&& other) noexcept
    : db_(other.db_), statement_(std::exchange(other.statement_, nullptr)) {}

void Statement::fail(const char* what) const {
    throw TsunagiError(std::string(what) + "：" + describeFailure(db_));
}

void Statement::bind(int index, std::string_view text) {
    if (sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT) != SQLITE_OK)
        fail("データベースへの値の受け渡しに失敗しました");
}

void Statement::bind(int index, std::int64_t number) {
    if (sqlite3_bind_int64(statement_, index, number) != SQLITE_OK)
        fail("データベースへの値の受け渡しに失敗しました");
}

void Statement::bindNull(int index) {
    if (sqlite3_bind_null(statement_, index) != SQLITE_OK)
        fail("データベースへの値の受け渡しに失敗しました");
}

bool Statement::step() {
    int rc = sqlite3_step(statement_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    fail("データベースの処理に失敗しました");
}

void Statement::reset() { sqlite3_reset(statement_); }

void Statement::bindUntilReset(int index, std::string_view text) {
    if (sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()),
                          SQLITE_STATIC) != SQLITE_OK)
        fail("データベースへの値の受け渡しに失敗しました");
}

void Statement::bindBlob(int index, std::string_view bytes) {
    if (sqlite3_bind_blob(statement_, index, bytes.data(), static_cast<int>(bytes.size()),
                          SQLITE_TRANSIENT) != SQLITE_OK)
        fail("データベースへの値の受け渡しに失敗しました");
}

void Statement::bindBlobUntilReset(int index, std::string_view bytes) {
    if (sqlite3_bind_blob(statement_, index, bytes.data(), static_cast<int>(bytes.size()),
                          SQLITE_STATIC) != SQLITE_OK)
        fail("データベースへの値の受け渡しに失敗しました");
}

int Statement::columnCount() const { return sqlite3_column_count(statement_); }

bool Statement::isNull(int column) const {
    return sqlite3_column_type(statement_, column) == SQLITE_NULL;
}

std::optional<std::string> Statement::text(int column) const {
    const unsigned char* value = sqlite3_column_text(statement_, column);
    if (!value) return std::nullopt;
    return std::string(reinterpret_cast<const char*>(value),
                       sqlite3_column_bytes(statement_, column));
}

std::optional<std::string_view> Statement::textView(int column) const {
    const unsigned char* value = sqlite3_column_text(statement_, column);
    if (!value) return std::nullopt;
    return std::string_view(reinterpret_cast<const char*>(value),
                            sqlite3_column_bytes(statement_, column));
}

std::string_view Statement::blobView(int column) const {
    const void* value = sqlite3_column_blob(statement_, column);
    if (!value) return {};
    return std::string_view(static_cast<const char*>(value),
                            static_cast<size_t>(sqlite3_column_bytes(statement_, column)));
}

std::int64_t Statement::integer(int column) const {
    return sqlite3_column_int64(statement_, column);
}

void Connection::execute(std::string_view sql) {
    std::string text(sql);
    char* message = nullptr;
    if (sqlite3_exec(db_.get(), text.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        sqlite3_free(message);
        throw TsunagiError(name_, 0, describeFailure(db_.get()));
    }
}

std::int64_t Connection::lastInsertId() const { return sqlite3_last_insert_rowid(db_.get()); }

std::int64_t Connection::changedRows() const { return sqlite3_total_changes(db_.get()); }

Statement Connection::prepare(std::string_view sql) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db_.get(), sql.data(), static_cast<int>(sql.size()), &statement,
                           nullptr) != SQLITE_OK)
        throw TsunagiError(name_, 0, describeFailure(db_.get()));
    return Statement(db_.get(), statement);
}

Transaction::Transaction(Connection& connection) : connection_(connection) {
    connection_.execute("BEGIN IMMEDIATE;");
}

Transaction::~Transaction() {
    if (done_) return;
    try {
        connection_.execute("ROLLBACK;");
    } catch (const TsunagiError&) {
        // The store undoes an unfinished transaction itself when the connection closes.
    }
}

void Transaction::commit() {
    connection_.execute("COMMIT;");
    done_ = true;
}

Store::Store(std::string connectionString) : location_(locationOf(connectionString)) {}

Store Store::inMemory() {
    Store store;
    store.location_ = {":memory:", ""};
    store.kept_ = openDatabase(":memory:", "", SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    Connection(store.kept_, store.location_.path).execute(kStoreSchema);
    return store;
}

Store Store::temporary() {
    const char* folder = std::getenv("TMPDIR");
    std::string path = std::string(folder && *folder ? folder : "/tmp") + "/tsunagi-XXXXXX";
    int made = mkstemp(path.data());
    if (made < 0) throw TsunagiError(path, 0, "作業用のファイルを作れません。");
    close(made);
    std::shared_ptr<sqlite3> db;
    try {
        db = openDatabase(path, "", SQLITE_OPEN_READWRITE);
    } catch (...) {
        std::remove(path.c_str());
        throw;
    }
    Store store;
    store.location_ = {path, ""};
    // The file goes with the last connection to it, and its journal with it.
    store.kept_ = std::shared_ptr<sqlite3>(db.get(), [db, path](sqlite3*) mutable {
        db.reset();
        std::remove(path.c_str());
        std::remove((path + "-journal").c_str());
    });
    Connection connection(store.kept_, path);
    // Nothing outlives the run: a crash loses nothing that a write to the disk would keep.
    connection.execute("PRAGMA synchronous = OFF;");
    // Only this run's one connection ever uses it: the file is locked once, not at every
    // statement.
    connection.execute("PRAGMA locking_mode = EXCLUSIVE;");
    // Written once and read through whole: larger pages, fewer of them to write and read back.
    connection.execute("PRAGMA page_size = 16384;");
    // The rows are appended in order and read through in order, so a page rarely comes back
    // while it is still cached: a small cache of 32 pages does as well as a large one, and the
    // fresh memory a large cache fills costs more than reading a page back from the system's
    // file cache (100,000 cards listed 16% faster, in 7 MiB less).
    connection.execute("PRAGMA cache_size = -512;");
    connection.execute(kStoreSchema);
    return store;
}

void Store::createFile(const std::string& path) {
    auto db =
        openDatabase(path, std::string(kStoreKey), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    Connection connection(db, path);
    Transaction transaction(connection);
    connection.execute(kStoreSchema);
    transaction.commit();
}

void Store::holdKeysInMemory() {
    // What finding builds on the held keys (their sorted copy, the runs, the candidates) is
    // many arrays of megabytes, dropped and made anew phase by phase: in large pages.
    preferLargePagesOnHeap(size_t(30) << 20);
    heldKeys_ = std::make_shared<HeldKeys>();
    if (kept_) heldKeys_->changedRows = Connection(kept_, location_.path).changedRows();
    // Room for a million keys is only address space until it is used; growing into it
    // instead would copy the keys and touch fresh memory at every step.
    heldKeys_->keys.reserve(size_t(1) << 20);
    preferLargePages(heldKeys_->keys.data(), heldKeys_->keys.capacity() * sizeof(SharedKey));
}

Connection Store::open() const {
    const std::string& path = location_.path;
    if (kept_) return Connection(kept_, path);
    if (!fileExists(path)) throw TsunagiError(path, 0, "データベースのファイルがありません。");
    // Never SQLITE_OPEN_CREATE: the store comes with the program and is not made here.
    return Connection(openDatabase(path, location_.key, SQLITE_OPEN_READWRITE), path);
}

}  // namespace tsunagi
