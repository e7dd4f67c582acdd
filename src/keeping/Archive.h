#pragma once

#include "keeping/History.h"
#include "store/Sqlite.h"
#include "store/StoredRow.h"
#include "store/Value.h"

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

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
    std::string path; // a deletion copy's item path when it was deleted; empty when not kept
};

// Writes the whole database, reading one row at a time; with the history, when given, as
// "history": every kept version, each with its number, note, kind, time and whole row.
void write(Connection &db, std::ostream &out, NoteHistory *history = nullptr);
// Writes the given rows only (no settings): a copy of deleted items, with the deleted item's
// path in the outline (its titles from the top joined by " > ") as "path" when one is given.
// Readers that do not know "path" pass over it, as they pass over any name they do not know.
void writeRows(const std::vector<Row> &rows, std::ostream &out, std::string_view itemPath = {});

// What is wrong with a file that should be an archive, and where.
class FormatError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Receives an archive's rows and settings (parame's ID and timilo) as they are read, and the
// history's versions when the archive holds them and version is given.
struct Receiver
{
    std::function<void(const Row &)> row;
    std::function<void(std::int64_t, const Value &)> setting;
    std::function<void(const NoteVersion &)> version = {};
    // A deletion copy's item path, when the archive holds one and path is given.
    std::function<void(const std::string &)> path = {};
};

// Reads an archive as a stream, handing on each row and setting as soon as it is read, so that
// memory holds one row whatever the number of rows. Throws FormatError. Nothing is handed on
// after the first problem, but the reading goes on to the end, so that the problem reported is
// the one a reading of the whole file first would report: text that is not JSON, then a file
// that is not an archive, then the first bad row, then the first bad setting. Returns the
// highest ID ever given, when the archive holds it.
std::optional<std::int64_t> read(std::istream &in, const Receiver &receiver);

// The whole archive at once, for the small copies of deleted items.
Contents read(std::istream &in);

} // namespace archive
} // namespace quillet
