#pragma once

#include "store/NoteStore.h"
#include "store/Sqlite.h"
#include "store/StoredRow.h"
#include "store/Value.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

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
