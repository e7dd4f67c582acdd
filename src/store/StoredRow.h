#pragma once

#include "store/Sqlite.h"
#include "store/Value.h"

#include <array>
#include <string>
#include <vector>

namespace quillet {

// The columns of mynodes, in the order a whole row is read and written.
inline constexpr std::array<const char *, 11> kRowColumns = {
    "ID",        "Kleidi",    "MyText",    "Keimeno",    "anoixto", "MegFonta", "Grammatoseira",
    "XromaFont", "XromaBack", "FontaBold", "FontaPlagia"};

// One row of mynodes, each column as stored (its type and bytes), in the order of kRowColumns.
using StoredRow = std::array<Value, kRowColumns.size()>;

// "SELECT" and the columns in the order of kRowColumns, for "FROM mynodes ..." to follow.
std::string selectRowColumns();

// Inserts rows into mynodes with their own IDs and values, each value with its type, through
// one prepared statement.
class RowInserter
{
public:
    explicit RowInserter(Connection &db);
    void insert(const StoredRow &row);

private:
    Statement m_insert;
};

// Inserts the rows into mynodes with their own IDs and values, each value with its type.
void insertRows(Connection &db, const std::vector<StoredRow> &rows);

} // namespace quillet
