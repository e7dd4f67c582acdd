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

RowInserter::RowInserter(Connection &db)
    : m_insert(db, [] {
        std::string sql = "INSERT INTO mynodes (";
        std::string marks;
        for (std::size_t c = 0; c < kRowColumns.size(); ++c) {
            sql += std::string(c ? ", " : "") + kRowColumns[c];
            marks += c ? ", ?" : "?";
        }
        return sql + ") VALUES (" + marks + ")";
    }())
{
}

void RowInserter::insert(const StoredRow &row)
{
    m_insert.reset();
    for (std::size_t c = 0; c < row.size(); ++c)
        m_insert.bind(static_cast<int>(c + 1), row[c]);
    m_insert.run();
}

void insertRows(Connection &db, const std::vector<StoredRow> &rows)
{
    RowInserter inserter(db);
    for (const StoredRow &row : rows)
        inserter.insert(row);
}

} // namespace quillet
