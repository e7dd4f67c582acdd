#pragma once

#include "keeping/Archive.h"

#include <string>
#include <string_view>
#include <vector>

// Copies of deleted items, kept in "deleted" beside the database, and putting them back.
namespace quillet::deletions {

// Writes the rows as an archive (every column as stored) to deleted/ beside the database (the
// file a link points to), with the database file's permissions,
// named by the date, the time and the key ("20261207-134700-A21.json"), synced to the disk
// before this returns. Returns the file's path; throws std::system_error when it cannot be
// written, so that the caller deletes nothing.
std::string keepCopy(const std::string &databasePath, std::string_view key,
                     const std::vector<archive::Row> &rows);

// Puts the rows of a copy back into the database with their own IDs and keys, in one
// transaction. Refused with std::runtime_error, changing nothing, when the program has the
// database open, when any ID or key (spaces trimmed) is taken, or when an item's parent is
// neither in the database before it nor among the rows. Returns the number of rows put back.
int undelete(const std::string &copyPath, const std::string &databasePath);

} // namespace quillet::deletions
