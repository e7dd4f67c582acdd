#pragma once

#include "keeping/Archive.h"
#include "store/NoteStore.h"

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

class NoteHistory;
class NoteStore;

// Copies of deleted items, kept in "deleted" beside the database, and putting them back.
namespace deletions {

// Writes the rows as an archive (every column as stored) to deleted/ beside the database (the
// file a link points to), with the database file's permissions, with the deleted item's path in
// the outline (its titles from the top joined by " > ") when given,
// named by the date, the time and the key ("20261207-134700-A21.json"), synced to the disk
// before this returns. Returns the file's path; throws std::system_error when it cannot be
// written, so that the caller deletes nothing.
std::string keepCopy(const std::string &databasePath, std::string_view key,
                     const std::vector<archive::Row> &rows, std::string_view itemPath = {});

// A copy in deleted/, as the list of deleted items shows it.
struct Copy
{
    std::string file;      // its path
    std::string when;      // the deletion's local date and time, "2026-12-07 13:47:00"
    std::string itemPath;  // the item's path when it was deleted; empty in older copies
    std::string key;       // the deleted item's key, spaces around it removed
    std::string title;     // its title as stored
    std::size_t items = 0; // the rows the copy holds
    std::string firstLine; // the first line of the item's note, at most 200 bytes
    std::string problem;   // why the copy cannot be read; only file and when are known then
};

// The copies in deleted/ beside the database whose items are not put back, newest first (by
// the time in their names, then by when they were written).
std::vector<Copy> listCopies(const std::string &databasePath);

// The items of a copy cannot go back where they were: the item they went under is gone or was
// made again, or a key or an ID of theirs is taken. They can go under another item.
class PlaceTaken : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// What a restore did.
struct Restored
{
    std::size_t items = 0;
    std::string key;              // the restored item's key: its own, or the new one
    bool newIds = false;          // rows took new IDs, and their earlier versions followed them
    std::string keptAs;           // the copy's new name, which says it was put back
    std::string copyProblem;      // why the copy could not take that name; the items are back
    std::vector<OutlineRow> rows; // the rows put in, as the outline reads them, in ID order
};

// Puts the items of a copy back into the store's database in one transaction. Without under,
// where they were, with their own IDs and keys (as undelete does). With under, as the last
// item under the item with that key (empty: the last top-level item), with new keys by the
// rule of adding (every key below rewritten by its prefix) and with new IDs, above every ID
// ever given, only when their own are taken or would not come after the parent's and the new
// siblings'; the earlier versions of rows that take new IDs follow them
// (NoteHistory::beginRenumbering). Then the copy is renamed to say so
// (places::restoredCopyFile) and leaves the list. Refused, changing nothing: PlaceTaken;
// std::runtime_error when the copy cannot be read, holds no rows or not one item's rows, its
// items are in the outline already, no item has the key under, that item holds nine items
// (or every top-level key is taken), or a row would lie deeper than keys::kMaxLevels. The
// caller refuses while another program has the file open.
Restored restore(NoteStore &store, NoteHistory &history, const std::string &copyPath,
                 const std::optional<std::string> &under = std::nullopt);

// Puts the rows of a copy back into the database with their own IDs and keys, in one
// transaction, leaving the copy as it is. Refused with std::runtime_error, changing nothing,
// when the program has the database open, when any ID or key (spaces trimmed) is taken, or
// when an item's parent is neither in the database before it nor among the rows (PlaceTaken
// for these two). Returns the number of rows put back.
int undelete(const std::string &copyPath, const std::string &databasePath);

} // namespace deletions
} // namespace quillet
