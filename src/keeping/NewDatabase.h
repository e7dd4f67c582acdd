#pragma once

#include "keeping/Welcome.h"
#include "store/NewTables.h"

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace quillet {

class Connection;

// Raised when anything at all is at the path a new database was to take: none is ever
// overwritten.
class FileExists : public std::runtime_error
{
public:
    explicit FileExists(const std::string &path);
    const std::string &path() const { return m_path; }

private:
    std::string m_path;
};

// Creates a new database file at path, never over anything (throwing FileExists for anything
// already there, a link that points nowhere included), with both tables and a number of its
// own (schema::fileIdOf), and lets fill add the rows, all in one transaction. The file is made
// as "<path>.partial", through the file operations every kept file is written by, and takes
// its name only once committed and on the disk, so that a crash leaves no half-made database
// there. On any failure the new file is removed again. The file gets the permission bits
// given, less the umask's. Throws std::system_error, StoreError or what fill throws.
void createDatabase(const std::string &path, const std::function<void(Connection &)> &fill,
                    mode_t mode = 0666);

// A new starter database at path: the first item "A" with the title and an empty note, the
// welcome item when asked for, and the settings (the main window's first place and size in 1
// to 4, zeros after).
void initDatabase(const std::string &path, std::string_view title = newdatabase::kStarterTitle,
                  Welcome welcome = Welcome::Without);

// The installed program's first database: the folder, and each missing folder above it, made
// the user's alone (0700, each synced into the folder above it, as the database is synced into
// its own), then a starter database in it, mydata.mdb, the user's alone too (0600).
void initInPrivateFolder(const std::string &folder, Welcome welcome);

// The permission bits of a database made from the file or folder at source: the source's read
// and write bits, no more, so that notes kept private stay private.
mode_t modeFromSource(const std::string &source);

} // namespace quillet
