#pragma once

#include "store/Value.h"

#include <array>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace quillet {

class Connection;

// The JSON form of a notes database, complete and lossless: every column of every row of
// mynodes and parame, each value with its type (integers, reals, text, blobs and Nulls stay
// what they were), and the next ID the table would give. quillet-db export writes it,
// import-json reads it, and the copies of deleted items are in it.
namespace archive {

// The columns of mynodes, in the order they are written.
inline constexpr std::array<const char *, 11> kColumns = {
    "ID",        "Kleidi",    "MyText",    "Keimeno",    "anoixto", "MegFonta", "Grammatoseira",
    "XromaFont", "XromaBack", "FontaBold", "FontaPlagia"};

// One row of mynodes, each column as stored, in the order of kColumns.
using Row = std::array<Value, kColumns.size()>;

struct Contents
{
    std::vector<Row> rows;
    std::vector<std::pair<std::int64_t, Value>> settings; // parame's ID and timilo
    std::optional<std::int64_t> lastId;                   // the highest ID ever given
};

// Writes the whole database, reading one row at a time.
void write(Connection &db, std::ostream &out);
// Writes the given rows only (no settings): a copy of deleted items.
void writeRows(const std::vector<Row> &rows, std::ostream &out);
// "SELECT" and the columns in the order of kColumns, for "FROM mynodes ..." to follow.
std::string selectColumns();

// Inserts the rows into mynodes with their own IDs and values, each value with its type.
void insertRows(Connection &db, const std::vector<Row> &rows);

// Reads an archive; throws std::runtime_error saying what is wrong and where.
Contents read(std::istream &in);

} // namespace archive
} // namespace quillet
