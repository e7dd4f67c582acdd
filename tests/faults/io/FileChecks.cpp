#include "faults/io/FileChecks.h"

#include <cstdio>
#include <stdexcept>

namespace quillet::test {

CheckConnection::CheckConnection(const std::string &path)
{
    const int rc = sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READWRITE, "unix");
    if (rc != SQLITE_OK) {
        sqlite3_close(m_db);
        throw std::runtime_error("cannot open " + path + ": " + sqlite3_errstr(rc));
    }
}

CheckConnection::~CheckConnection()
{
    sqlite3_close(m_db);
}

namespace {

// Runs a query and appends each row to out, every value tagged with its type and length.
void appendRows(sqlite3 *db, const std::string &sql, std::string &out)
{
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
        throw std::runtime_error("cannot prepare " + sql + ": " + sqlite3_errmsg(db));
    int rc = SQLITE_OK;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
            static const char kTypes[] = "?IRTBN";
            const int type = sqlite3_column_type(stmt, i);
            const auto *bytes = static_cast<const char *>(sqlite3_column_blob(stmt, i));
            const int size = sqlite3_column_bytes(stmt, i);
            out += kTypes[type];
            out += std::to_string(size) + ":";
            if (bytes)
                out.append(bytes, static_cast<std::size_t>(size));
            out += '|';
        }
        out += '\n';
    }
    const std::string error = rc == SQLITE_DONE ? std::string() : sqlite3_errmsg(db);
    sqlite3_finalize(stmt);
    if (!error.empty())
        throw std::runtime_error("cannot read " + sql + ": " + error);
}

} // namespace

std::string queryText(sqlite3 *db, const std::string &sql)
{
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
        throw std::runtime_error("cannot prepare " + sql + ": " + sqlite3_errmsg(db));
    std::string result = "NULL";
    const int rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW && sqlite3_column_type(stmt, 0) != SQLITE_NULL)
        result.assign(static_cast<const char *>(sqlite3_column_blob(stmt, 0)),
                      static_cast<std::size_t>(sqlite3_column_bytes(stmt, 0)));
    const std::string error =
        rc == SQLITE_ROW || rc == SQLITE_DONE ? std::string() : sqlite3_errmsg(db);
    sqlite3_finalize(stmt);
    if (!error.empty())
        throw std::runtime_error("cannot run " + sql + ": " + error);
    return result;
}

std::string tableDump(sqlite3 *db)
{
    std::string out = "mynodes\n";
    appendRows(db, "SELECT * FROM mynodes ORDER BY ID", out);
    out += "parame\n";
    appendRows(db, "SELECT * FROM parame ORDER BY ID", out);
    // The next ID AUTOINCREMENT hands out is part of what an insert changes.
    out += "sqlite_sequence\n";
    appendRows(db, "SELECT * FROM sqlite_sequence ORDER BY name", out);
    return out;
}

std::string schemaDump(sqlite3 *db)
{
    std::string out;
    appendRows(db, "SELECT type, name, tbl_name, sql FROM sqlite_master ORDER BY type, name", out);
    return out;
}

FileState fileState(const std::string &path)
{
    CheckConnection check(path);
    FileState state;
    state.integrity = queryText(check.handle(), "PRAGMA integrity_check");
    state.tables = tableDump(check.handle());
    return state;
}

void removeDatabase(const std::string &path)
{
    std::remove(path.c_str());
    std::remove((path + "-journal").c_str());
}

} // namespace quillet::test
