#pragma once

#include "store/Sqlite.h"

#include <cstdint>
#include <string>

namespace quillet::schema {

// The CREATE TABLE statements of a new notes database (from schema.sql).
extern const char *const creationSql;

// Checks that the open database has both tables with every column the program uses.
// Throws DatabaseUnavailable naming what is missing; changes nothing in the file.
void check(Connection &connection);

// Opens the notes database at path for the program: an existing SQLite file with both tables
// and every column. Throws DatabaseUnavailable, with a plain description of the problem, when
// the file is missing, not a regular file, unreadable, empty, not a SQLite database, or lacks a
// table or column. Never creates, changes or deletes anything.
void verifyFile(const std::string &path);

// Opens a notes database: verifyFile, then a connection in the given mode, then check. Throws
// DatabaseUnavailable (or StoreError when the engine refuses the file).
Connection open(const std::string &path, Connection::Mode mode);

// Databases are told apart by a random number in the file's header (the engine's user
// version): given when a database is made, and carried by every copy of the file, backups and
// restores among them. The files kept beside a database record it, so that they serve no other
// database. A file made before databases had one holds 0.
std::int32_t fileIdOf(Connection &connection);
// Sets the number, in the caller's transaction.
void setFileId(Connection &connection, std::int32_t id);
// A new number: random, above 0.
std::int32_t newFileId();

} // namespace quillet::schema
