#include "store/StoredRow.h"

#include "store/Sqlite.h"

namespace quillet {

std::string selectRowColumns()
{
    std::string sql = "SELECT ";
    for (std::size_t c = 0; c < kRowColumns.size(); ++c)
        sql += std::string(c ? ", " : "") + kRowColumns[c];
    return sql;
}

void insertRows(Connection &db, const std::vector<StoredRow> &rows)
{
    std::string sql = "INSERT INTO mynodes (";
    std::string marks;
    for (std::size_t c = 0; c < kRowColumns.size(); ++c) {
        sql += std::string(c ? ", " : "") + kRowColumns[c];
        marks += c ? ", ?" : "?";
    }
    Statement insert(db, sql + ") VALUES (" + marks + ")");
    for (const StoredRow &row : rows) {
        insert.reset();
        for (std::size_t c = 0; c < row.size(); ++c)
            insert.bind(static_cast<int>(c + 1), row[c]);
        insert.run();
    }
}

} // namespace quillet
