#pragma once

#include "store/Sqlite.h"

#include <string_view>

// What a new notes database holds, written into a new, empty file's connection (in the
// caller's transaction): the program makes none itself, the tool's init and imports and, for
// an installed program, a user's first start do.
namespace quillet::newdatabase {

// The title of the one item a new database starts with.
inline constexpr std::string_view kStarterTitle = "My notes";

// Both tables, and the database's own number (schema::fileIdOf).
void makeTables(Connection &db);
// The 30 settings rows: the main window's first place and size in 1 to 4, zeros after.
void insertSettings(Connection &db);
// The starter database after makeTables: the first item "A" with the title and an empty note,
// and the settings.
void fillStarter(Connection &db, std::string_view title = kStarterTitle);

} // namespace quillet::newdatabase
