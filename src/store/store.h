#pragma once

// The password-protected store: an SQLCipher database holding the entry table radio_v401sh and
// the model table mst_heddate. A Connection is opened for one operation and closed when the
// last copy of it goes, so nothing stays open between two user actions.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace tsunagi {

// Where a store lives and the key that opens it ("" for none).
struct StoreLocation {
    std::string path;
    std::string key;
};

// PBKDF2-HMAC-SHA1 of the password over the salt, 32 bytes in hexadecimal: the key SQLCipher
// makes of a store's password and the salt at the head of its file.
std::string derivedKeyHex(std::string_view password, std::string_view salt, int rounds);

// The one connection text for the program's store: it names the file and carries the key.
std::string ConnectionString(const std::string& programFolder);
// The same for a store file anywhere, opened with the program's key.
std::string connectionStringFor(const std::string& databasePath);

// The schema and the template row of a new store.
extern const char* const kStoreSchema;

class Statement {
  public:
    Statement(sqlite3* db, sqlite3_stmt* statement) : db_(db), statement_(statement) {}
    ~Statement();
    Statement(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Parameters are counted from 1, as SQLite counts them.
    void bind(int index, std::string_view text);
    void bind(int index, std::int64_t number);
    void bindNull(int index);
    // Binds without copying: the text must stay as it is until the statement has run.
    void bindUntilReset(int index, std::string_view text);
    // Binds bytes as a blob, copied.
    void bindBlob(int index, std::string_view bytes);
    // The same without copying: the bytes must stay as they are until the statement has run.
    void bindBlobUntilReset(int index, std::string_view bytes);

    // Runs to the next row; false when there is none.
    bool step();
    // Makes the statement ready to run again; its bindings stay until bound anew.
    void reset();

    int columnCount() const;
    bool isNull(int column) const;
    // The column as text; an SQL null reads as nothing.
    std::optional<std::string> text(int column) const;
    // The same without a copy, valid until the statement moves on.
    std::optional<std::string_view> textView(int column) const;
    // A blob column's bytes without a copy, valid until the statement moves on; "" for null.
    std::string_view blobView(int column) const;
    std::int64_t integer(int column) const;

  private:
    [[noreturn]] void fail(const char* what) const;

    sqlite3* db_;
    sqlite3_stmt* statement_;
};

class Connection {
  public:
    explicit Connection(std::shared_ptr<sqlite3> db, std::string name)
        : db_(std::move(db)), name_(std::move(name)) {}

    void execute(std::string_view sql);
    Statement prepare(std::string_view sql);
    // The id the last insert on this connection gave its row.
    std::int64_t lastInsertId() const;
    // The rows inserted, updated or deleted through this connection's database handle since it
    // was opened: what another connection to the same handle changed counts too.
    std::int64_t changedRows() const;
    const std::string& name() const { return name_; }

  private:
    std::shared_ptr<sqlite3> db_;
    std::string name_;
};

// Everything written inside it takes effect together at commit(), or not at all.
class Transaction {
  public:
    explicit Transaction(Connection& connection);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit();

  private:
    Connection& connection_;
    bool done_ = false;
};

struct HeldKeys;

class Store {
  public:
    // A store in a file named by a connection text; each open() is a new connection.
    explicit Store(std::string connectionString);
    // A fresh store in memory, made from the schema; it lives as long as the Store.
    static Store inMemory();
    // A fresh store in a private file of its own, deleted when the Store goes: memory stays
    // bounded by SQLite's page cache however many entries it holds.
    static Store temporary();
    // Creates a new keyed store file from the schema; the file must not exist yet.
    static void createFile(const std::string& path);

    // Opens a connection (OpenStore); it closes when its last copy goes (CloseStore).
    // Throws TsunagiError naming the database file when it cannot be opened or unlocked.
    Connection open() const;

    const std::string& databasePath() const { return location_.path; }

    // Whether an import makes each entry's keys as it stores it. A store nobody will seek the
    // same person in (a command-line run that only lists or saves) leaves them to be made when
    // they are first asked for.
    bool keysAtImport() const { return keysAtImport_; }
    void leaveKeysUntilAsked() { keysAtImport_ = false; }
    // Whether the keys an import makes are held here instead of being stored beside the
    // entries: for a store only imported into and then sought in (a command-line run), whose
    // keys would be written only to be read straight back. Whatever else changes the entries
    // lets them go (HeldKeys::letGo), and they are made from the entries when next asked for.
    void holdKeysInMemory();
    HeldKeys* heldKeys() const { return heldKeys_.get(); }

  private:
    Store() = default;

    StoreLocation location_;
    std::shared_ptr<sqlite3> kept_;
    bool keysAtImport_ = true;
    std::shared_ptr<HeldKeys> heldKeys_;
};

}  // namespace tsunagi
