#include "support/TestDatabase.h"

#include "store/Schema.h"

#include <sqlite3.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace quillet::test {

TempFolder::TempFolder()
{
    if (!m_dir.isValid())
        throw std::runtime_error("cannot make a temporary folder");
}

std::string TempFolder::path(const std::string &name) const
{
    return m_dir.path().toStdString() + "/" + name;
}

namespace {

struct Db
{
    explicit Db(const std::string &path, int flags = SQLITE_OPEN_READWRITE)
    {
        if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK)
            throw std::runtime_error("cannot open " + path);
    }
    ~Db() { sqlite3_close(db); }
    void exec(const std::string &sql)
    {
        char *error = nullptr;
        if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
            const std::string message = error ? error : "?";
            sqlite3_free(error);
            throw std::runtime_error("SQL failed: " + message + " in " + sql);
        }
    }
    sqlite3 *db = nullptr;
};

std::string quote(const std::string &text)
{
    std::string out = "'";
    for (char c : text) {
        out += c;
        if (c == '\'')
            out += '\'';
    }
    return out + "'";
}

} // namespace

void createEmptyDatabase(const std::string &path)
{
    Db db(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    db.exec(schema::creationSql);
}

void execSql(const std::string &path, const std::string &sql)
{
    Db db(path);
    db.exec(sql);
}

std::string querySql(const std::string &path, const std::string &sql)
{
    Db db(path);
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(db.db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
        throw std::runtime_error("bad query " + sql);
    std::string result = "NULL";
    if (sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_type(stmt, 0) != SQLITE_NULL)
        result = reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0));
    sqlite3_finalize(stmt);
    return result;
}

void createDatabase(const std::string &path, const std::vector<Row> &rows)
{
    createEmptyDatabase(path);
    std::string sql = "BEGIN;";
    for (const Row &row : rows)
        sql += "INSERT INTO mynodes (Kleidi, MyText, Keimeno, anoixto) VALUES (" + quote(row.key) +
               ", " + quote(row.title) + ", '', " + (row.expanded ? "1" : "0") + ");";
    for (int i = 0; i < 30; ++i)
        sql += "INSERT INTO parame (timilo) VALUES (0);";
    sql += "COMMIT;";
    execSql(path, sql);
}

void createForeignDatabase(const std::string &path)
{
    createEmptyDatabase(path);
    execSql(path, "DROP TABLE mynodes; DROP TABLE parame;"
                  "CREATE TABLE mynodes (ID INTEGER PRIMARY KEY, Kleidi TEXT, MyText TEXT,"
                  " Keimeno TEXT, anoixto INTEGER, MegFonta REAL, Grammatoseira TEXT,"
                  " XromaFont INTEGER, XromaBack INTEGER, FontaBold INTEGER, FontaPlagia INTEGER);"
                  "CREATE TABLE parame (ID INTEGER PRIMARY KEY, timilo INTEGER);"
                  "INSERT INTO mynodes (ID, Kleidi, MyText, Keimeno, anoixto)"
                  " VALUES (1, 'A', 'Top', '', 0);"
                  "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 30)"
                  " INSERT INTO parame (ID, timilo) SELECT i, 0 FROM n;");
}

std::string fileBytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeFile(const std::string &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

} // namespace quillet::test
