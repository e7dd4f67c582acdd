#pragma once

#include "store/NoteStore.h"
#include "store/Sqlite.h"
#include "store/StoredRow.h"
#include "store/Value.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The two tables read and written a row at a time, for whatever works on a whole database (the
// tool's imports, exports, check and statistics, the archive, the backups and the benchmarks'
// outlines) rather than on one item, as NoteStore does. Each statement is prepared once and
// binds its values.
namespace quillet {

// New items, each given the next ID by the engine: the key, the title, the note, the expanded
// flag, and the note's format or none.
class ItemInserter
{
public:
    explicit ItemInserter(Connection &db);
    void insert(std::string_view key, std::string_view title, std::string_view note,
                bool expanded = false, const std::optional<NoteFormat> &format = std::nullopt);

private:
    Statement m_insert;
};

// Whole rows read by their IDs.
class RowReader
{
public:
    explicit RowReader(Connection &db);
    // Fills row with the row of the ID, reusing its buffers; false when there is none.
    bool read(std::int64_t id, StoredRow &row);

private:
    Statement m_read;
};

// Calls visit with every whole row of mynodes, in ID order.
void forEachStoredRow(Connection &db, const std::function<void(const StoredRow &)> &visit);

// Calls visit with every row's ID and key as stored, in the key index's order, reading nothing
// else: the index alone is read, not the notes in the table.
void forEachKey(Connection &db,
                const std::function<void(std::int64_t id, const Value &key)> &visit);

// The rows whose key, without the spaces around it, is one of keys or begins with one of
// subtreeRoots, and the rows with one of the ids, with their stored keys, in the order of the key
// index (Null, numbers, text, then keys stored as bytes, each in order), as a pass over every key
// would meet them. Found through the key index and by ID, without reading every key: a key with
// spaces after it lies in its own key's range, one with spaces before it among the keys that
// begin with a space, and keys stored as bytes are read with them. A superset may come back
// (keys that only begin with a root, or with a key followed by spaces); the caller compares.
std::vector<std::pair<std::int64_t, Value>>
rowsWithKeysOrIds(Connection &db, const std::vector<std::string> &subtreeRoots,
                  const std::vector<std::string> &keys, const std::vector<std::int64_t> &ids);

// Calls visit with every row's ID and the size of its note in bytes as stored, in no order;
// the notes themselves are not read.
void forEachNoteSize(Connection &db,
                     const std::function<void(std::int64_t id, std::int64_t bytes)> &visit);

// The note of the row with the key exactly, as stored; nothing when no row has it.
std::optional<Value> noteWithKey(Connection &db, std::string_view key);

// Settings rows: written with their own IDs or the engine's, and read in ID order.
class SettingInserter
{
public:
    explicit SettingInserter(Connection &db);
    void insert(std::optional<std::int64_t> id, const Value &value);

private:
    Statement m_insert;
};
void forEachSetting(Connection &db,
                    const std::function<void(std::int64_t id, const Value &value)> &visit);

// The highest ID mynodes ever gave, which no new row takes again; nothing before any row was
// made. setLastRowId puts it, so that a copy of a database gives new IDs as it would.
std::optional<std::int64_t> lastRowId(Connection &db);
void setLastRowId(Connection &db, std::optional<std::int64_t> id);

} // namespace quillet
