#include "store/Schema.h"

#include "store/Sqlite.h"

#include <sqlite3.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace quillet::schema {

namespace {

struct Table
{
    const char *name;
    std::array<const char *, 11> columns;
};

constexpr std::array<Table, 2> kTables{{
    {"mynodes",
     {"ID", "Kleidi", "MyText", "Keimeno", "anoixto", "MegFonta", "Grammatoseira", "XromaFont",
      "XromaBack", "FontaBold", "FontaPlagia"}},
    {"parame", {"ID", "timilo"}},
}};

[[noreturn]] void unavailable(int code, const std::string &problem, const std::string &path)
{
    throw DatabaseUnavailable(code, problem, path);
}

} // namespace

void check(Connection &connection)
{
    for (const Table &table : kTables) {
        // table_info names the columns of a table, and gives no rows for a missing one.
        Statement info(connection, "SELECT name FROM pragma_table_info(?)");
        info.bind(1, std::string_view(table.name));
        std::set<std::string> present;
        while (info.step())
            present.insert(info.columnText(0));
        if (present.empty())
            unavailable(0, std::string("The database has no table \"") + table.name + "\".",
                        connection.path());
        for (const char *column : table.columns) {
            if (column && !present.count(column))
                unavailable(0,
                            std::string("The table \"") + table.name + "\" has no column \"" +
                                column + "\".",
                            connection.path());
        }
    }
}

void verifyFile(const std::string &path)
{
    struct stat info
    {
    };
    if (::stat(path.c_str(), &info) != 0) {
        char target[4096];
        const ssize_t length = ::readlink(path.c_str(), target, sizeof target - 1);
        if (length > 0)
            unavailable(SQLITE_CANTOPEN,
                        "This is a link to " +
                            std::string(target, static_cast<std::size_t>(length)) +
                            ", which does not exist.",
                        path);
        unavailable(SQLITE_CANTOPEN, "The file does not exist.", path);
    }
    if (!S_ISREG(info.st_mode))
        unavailable(SQLITE_CANTOPEN, "This is not a file but a folder or a device.", path);
    if (::access(path.c_str(), R_OK) != 0)
        unavailable(SQLITE_CANTOPEN, "The file cannot be read: permission denied.", path);
    if (info.st_size == 0)
        unavailable(SQLITE_NOTADB, "The file is empty.", path);

    // A SQLite file starts with this 16-byte header; anything else (a database of another
    // program, a text file) is refused before the engine touches it.
    static const char kHeader[] = "SQLite format 3";
    char header[sizeof kHeader] = {};
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (!file)
        unavailable(SQLITE_CANTOPEN, "The file cannot be read.", path);
    const std::size_t got = std::fread(header, 1, sizeof header, file);
    std::fclose(file);
    if (got != sizeof header || std::memcmp(header, kHeader, sizeof header) != 0)
        unavailable(SQLITE_NOTADB, "The file is not a Quillet database (not a SQLite file).", path);
}

Connection open(const std::string &path, Connection::Mode mode)
{
    verifyFile(path);
    Connection connection(path, mode);
    check(connection);
    return connection;
}

std::int32_t fileIdOf(Connection &connection)
{
    Statement read(connection, "PRAGMA user_version");
    return read.step() ? static_cast<std::int32_t>(read.columnInt64(0)) : 0;
}

void setFileId(Connection &connection, std::int32_t id)
{
    // A pragma takes no bound values; the number is ours, never text from a file.
    connection.exec(("PRAGMA user_version = " + std::to_string(id)).c_str());
}

std::int32_t newFileId()
{
    std::random_device entropy;
    std::uniform_int_distribution<std::int32_t> pick(1, std::numeric_limits<std::int32_t>::max());
    return pick(entropy);
}

} // namespace quillet::schema
