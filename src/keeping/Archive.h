#pragma once

#include "store/StoredRow.h"

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

// The columns of mynodes, in the order they are written, and one row of them as stored.
inline constexpr const auto &kColumns = kRowColumns;
using Row = StoredRow;

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

// Reads an archive; throws std::runtime_error saying what is wrong and where.
Contents read(std::istream &in);

} // namespace archive
} // namespace quillet
