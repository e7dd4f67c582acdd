#pragma once

#include <functional>
#include <string>
#include <sys/types.h>

namespace quillet {
class Connection;
}

namespace quillet::dbtool {

// Creates a new database file at path, never over anything (throwing FileExists for anything
// already there), with both tables and a number of its own (schema::fileIdOf), and lets fill
// add the rows, all in one transaction; the file takes its name only once committed and on the
// disk. On any failure the new file is removed again. The file gets the permission bits given,
// less the umask's. Throws std::system_error or what fill throws.
void createDatabase(const std::string &path, const std::function<void(Connection &)> &fill,
                    mode_t mode = 0666);

// The permission bits of a database made from the file or folder at source: the source's read
// and write bits, no more, so that notes kept private stay private.
mode_t modeFromSource(const std::string &source);

// Inserts the 30 settings rows of a new database: the main window's design geometry in 1 to 4,
// zeros after.
void insertSettings(Connection &db);

} // namespace quillet::dbtool
