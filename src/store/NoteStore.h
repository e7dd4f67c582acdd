#pragma once

#include "store/Settings.h"
#include "store/Sqlite.h"
#include "store/StoredRow.h"
#include "store/Value.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

// One row of the outline scan: the three columns the tree is built from, as stored.
struct OutlineRow
{
    std::int64_t id = 0;
    Value key;      // Kleidi
    Value title;    // MyText
    Value expanded; // anoixto
};

// A note's format as the editor holds it, for storing.
struct NoteFormat
{
    std::string fontName;       // Grammatoseira
    float fontSize = 0;         // MegFonta
    std::int32_t foreColor = 0; // XromaFont
    std::int32_t backColor = 0; // XromaBack
    bool bold = false;          // FontaBold
    bool italic = false;        // FontaPlagia
};

// The format a note without a stored one is shown in: Courier New, 10 points, black on white.
inline NoteFormat defaultNoteFormat()
{
    return NoteFormat{"Courier New", 10.0F, 0x000000, 0xFFFFFF, false, false};
}

// The note and format columns of one row, as stored.
struct NoteRow
{
    Value text;      // Keimeno
    Value fontSize;  // MegFonta
    Value fontName;  // Grammatoseira
    Value foreColor; // XromaFont
    Value backColor; // XromaBack
    Value bold;      // FontaBold
    Value italic;    // FontaPlagia
};

// A row's ID with its key, spaces around it removed.
struct KeyedRow
{
    std::int64_t id = 0;
    std::string key;
};

// Calls visit for every row of mynodes in ID order, reading only the outline columns.
void scanOutlineRows(Connection &db, const std::function<void(const OutlineRow &)> &visit);

// The notes database: the one connection and the typed operations on its two tables.
class NoteStore
{
public:
    // Opens an existing notes database, read-write or, for a look that changes nothing,
    // read-only; never creates one. Throws DatabaseUnavailable when the file cannot serve (see
    // schema::verifyFile); a read-only look that the engine cannot read further throws the
    // engine's StoreError as it is (a change cut short that it cannot roll back among them:
    // StoreError::waitsForRollback).
    enum class Access { ReadWrite, ReadOnly };
    explicit NoteStore(const std::string &path, Access access = Access::ReadWrite);
    NoteStore(const NoteStore &) = delete;
    NoteStore &operator=(const NoteStore &) = delete;

    const std::string &path() const { return m_connection.path(); }
    // True when changes cannot be stored: the file, or the folder its journal goes in, is not
    // writable (a read-only file, folder or file system).
    bool isReadOnly() const;
    Connection &connection() { return m_connection; }

    // The number that ties the files kept beside the database to it (schema::fileIdOf); 0 for
    // a database made before databases had one.
    std::int32_t fileId();
    // Gives such a database its number, in a transaction of its own, and returns it; the
    // number it has otherwise.
    std::int32_t giveFileId();

    // Calls visit for every row of mynodes in ID order, reading only the outline columns.
    void scanOutline(const std::function<void(const OutlineRow &)> &visit);

    // The row whose Kleidi equals key exactly, or nothing when there is none.
    std::optional<NoteRow> readNote(std::string_view key);

    // Fills positions 1 to k from the k rows of parame in ID order. Throws StoreError for an
    // empty table, a Null or out-of-range value, or a 31st row (after filling 30 positions).
    void loadSettings(Settings &settings);

    // Each write below is one transaction. A multi-row write that fails part-way commits the
    // rows written before the failure and then throws, as writing row by row would leave it.

    // Stores the note text of the row whose key is key. Throws when there is no such row.
    void saveText(std::string_view key, std::string_view text);
    // Stores a note exactly as given, its type and bytes (a kept version put back).
    void saveNoteValue(std::string_view key, const Value &note);
    // Every column of the row whose key is key, as stored; nothing when there is none.
    std::optional<StoredRow> readRow(std::string_view key);
    // The ID of the row whose key is key; nothing when there is none.
    std::optional<std::int64_t> idOf(std::string_view key);
    // Stores all six format columns of the row whose key is key; false when there is no such
    // row (then nothing is written).
    bool saveFormat(std::string_view key, const NoteFormat &format);
    // Stores the title of the row whose key is key. Throws when there is no such row.
    void rename(std::string_view key, std::string_view title);
    // Appends a row with the key, the title and an empty note; other columns take their
    // defaults (collapsed, no stored format), and returns its ID. Throws KeyTaken when a row has
    // the key already.
    std::int64_t insertItem(std::string_view key, std::string_view title);
    // The rows deleteSubtree(key) would delete, in ID order.
    std::vector<KeyedRow> subtreeRows(std::string_view key);
    // Deletes every row whose key, without surrounding spaces, begins with key: the item and
    // everything below it. Returns the number of rows deleted. An empty key deletes nothing.
    // keepCopy, when given, receives every column of the rows about to go, in ID order, before
    // anything is deleted; when it throws, nothing is deleted and the exception passes on.
    int deleteSubtree(std::string_view key,
                      const std::function<void(const std::vector<StoredRow> &)> &keepCopy = {});
    // Writes flags[i] as the expanded flag of the (i+1)-th row in ID order. Throws, after
    // storing the flags before it, when the table has fewer rows than flags.
    void storeExpanded(const std::vector<bool> &flags);
    // Writes position n into the n-th row of parame in ID order, for every row. Throws, after
    // storing 30 rows, when the table has more.
    void storeSettings(const Settings &settings);

private:
    void prepareReadNote();
    [[noreturn]] void throwTooManySettings(int position) const;

    Connection m_connection;
    std::unique_ptr<Statement> m_readNote;
};

} // namespace quillet
