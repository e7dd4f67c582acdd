#pragma once

#include <functional>
#include <string>

namespace quillet {
class Connection;
}

namespace quillet::dbtool {

// Creates a new database file at path, never over anything (throwing FileExists for anything
// already there), with both tables, and lets fill add the rows, all in one transaction; the
// file takes its name only once committed and on the disk. On any failure the new file is
// removed again. Throws std::system_error or what fill throws.
void createDatabase(const std::string &path, const std::function<void(Connection &)> &fill);

// Inserts the 30 settings rows of a new database: the main window's design geometry in 1 to 4,
// zeros after.
void insertSettings(Connection &db);

} // namespace quillet::dbtool
