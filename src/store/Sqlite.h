#pragma once

#include "store/StoreError.h"
#include "store/Value.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace quillet {

// What an engine result code means to the user, with what to do about it; empty for codes
// that have no plain description.
std::string plainReason(int code);
// The cause alone, without advice, and the code: for a message after which nothing can be
// tried again (the program is ending).
std::string plainCause(int code);

// Owns one sqlite3 connection; closes it in the destructor.
class Connection
{
public:
    enum class Mode { ReadWrite, ReadOnly, Create };

    // Opens an existing file (ReadWrite, ReadOnly) or makes a new one (Create). Never creates
    // a file in the other modes. Throws StoreError when SQLite refuses.
    Connection(const std::string &path, Mode mode);
    ~Connection();
    // Moved only while no statement is open on it (as an opening function returns it).
    Connection(Connection &&other) noexcept;
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    sqlite3 *handle() const { return m_db; }
    const std::string &path() const { return m_path; }

    // Runs SQL text that returns no rows we need (PRAGMAs, BEGIN, COMMIT, DDL).
    void exec(const char *sql);
    // Runs SQL text whose refusal is no failure (a setting a read-only file cannot take).
    bool tryExec(const char *sql);
    // How long a statement waits for another connection's lock before it fails as busy.
    void setBusyTimeout(int milliseconds);
    // Makes every commit from here on one that survives a power cut once it returns: a
    // rollback journal beside the file while a write runs and no other file when idle
    // (journal_mode=DELETE; a file whose mode cannot be changed, being read-only, keeps its
    // own), every write synced before the commit returns, and the file's folder synced once
    // the journal is deleted (synchronous=EXTRA), so that the journal cannot come back after a
    // power cut and roll the acknowledged change back.
    void useDurableCommits();
    // How many rows the last INSERT, UPDATE or DELETE changed.
    int changes() const;
    // True when the engine opened the file read-only.
    bool isReadOnly() const;
    // Makes the statement under way give up (an interrupt) soon after stop becomes true; the
    // engine asks every `steps` of its steps, also in the middle of one row.
    void stopWhen(const std::atomic<bool> &stop, int steps);
    // Copies the whole database into destination through the engine's online backup, a few
    // megabytes at a time so that other connections' writes wait at most one step; a write
    // under way is waited out. False when stop was set first (nothing whole was copied).
    bool copyTo(Connection &destination, const std::atomic<bool> *stop);
    // Raises a StoreError from the connection's last error, prefixed with what we were doing.
    [[noreturn]] void fail(int code, std::string_view doing) const;

private:
    sqlite3 *m_db = nullptr;
    std::string m_path;
};

// Owns one prepared statement; finalises it in the destructor.
class Statement
{
public:
    Statement(Connection &connection, std::string_view sql);
    ~Statement();
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    void bind(int position, std::string_view text);
    void bind(int position, std::int64_t number);
    void bind(int position, double number);
    void bindNull(int position);
    // A value as it is: its type (text, blob, integer, real or Null) and its bytes.
    void bind(int position, const Value &value);

    // Advances to the next row: true while there is one. Throws on an engine error.
    bool step();
    // Runs a statement that returns no rows.
    void run();
    void reset();

    Value column(int index) const;
    // Reads a column into an existing value, reusing its storage.
    void column(int index, Value &into) const;
    std::int64_t columnInt64(int index) const;
    std::string columnText(int index) const;
    // A column's bytes without a copy, valid until the next step or reset.
    std::string_view columnBytes(int index) const;

private:
    Connection &m_connection;
    sqlite3_stmt *m_stmt = nullptr;
};

// BEGIN IMMEDIATE on construction; rolls back on destruction unless committed.
class Transaction
{
public:
    explicit Transaction(Connection &connection);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    void commit();

private:
    Connection &m_connection;
    bool m_open = false;
};

} // namespace quillet
