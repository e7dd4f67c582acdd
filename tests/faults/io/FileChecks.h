#pragma once

#include <sqlite3.h>

#include <string>

namespace quillet::test {

// A connection of the test's own, always through the engine's real "unix" VFS, so that what it
// reads about a file never goes through a fault shim the test has registered. Opening it rolls
// back a hot journal the store left behind, as the next program to open the file would.
class CheckConnection
{
public:
    explicit CheckConnection(const std::string &path);
    ~CheckConnection();
    CheckConnection(const CheckConnection &) = delete;
    CheckConnection &operator=(const CheckConnection &) = delete;

    sqlite3 *handle() const { return m_db; }

private:
    sqlite3 *m_db = nullptr;
};

// The first column of the first row of a query as text ("NULL" for a Null or no row).
std::string queryText(sqlite3 *db, const std::string &sql);

// Every row of mynodes, parame and sqlite_sequence in order, each value with its type and
// length, so that two dumps are equal exactly when the contents are.
std::string tableDump(sqlite3 *db);

// The schema as stored: every entry of sqlite_master with its SQL text.
std::string schemaDump(sqlite3 *db);

// PRAGMA integrity_check and tableDump of a file, through a fresh connection.
struct FileState
{
    std::string integrity;
    std::string tables;
};
FileState fileState(const std::string &path);

// Removes a database file and the journal beside it.
void removeDatabase(const std::string &path);

} // namespace quillet::test
