#pragma once

#include "store/Sqlite.h"

#include <cstdint>
#include <string>
#include <string_view>

// What a new notes database holds, written into a new, empty file's connection (in the
// caller's transaction): the program makes none itself, the tool's init and imports and, for
// an installed program, a user's first start do.
namespace quillet::newdatabase {

// The title of the one item a new database starts with.
inline constexpr std::string_view kStarterTitle = "My notes";

// The second top-level item of the database a first start makes: a note on how to begin.
inline constexpr std::string_view kWelcomeTitle = "Welcome to Quillet";

// Both tables, and the database's own number (schema::fileIdOf).
void makeTables(Connection &db);
// The 30 settings rows: the main window's first place and size in 1 to 4, the selected item's
// index in 5 (0: the first item), zeros after.
void insertSettings(Connection &db, std::int32_t selected = 0);
// The starter database after makeTables: the first item "A" with the title and an empty note,
// and the settings.
void fillStarter(Connection &db, std::string_view title = kStarterTitle);
// The welcome note for the database at path: how to add, move, find, delete and bring back
// items, and where the notes are kept.
std::string welcomeNote(std::string_view path);
// The starter database of a first start, for the database at path: the first item "A" with the
// title, then
// the item "B", "Welcome to Quillet", with the welcome note, selected so that the window shows
// it. An ordinary item, which the user may delete.
void fillWelcomed(Connection &db, std::string_view title, std::string_view path);

} // namespace quillet::newdatabase
