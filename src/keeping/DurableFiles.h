#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

// Files that are either there whole, on the disk, or not there at all; and the permissions of
// the files and folders that hold notes beside a notes database.
namespace quillet::durable {

// The file a path names, links followed; the path itself when it names nothing.
std::string resolved(const std::string &path);

// The permission bits a file holding notes of the database gets: the database file's own
// (links followed), 0600 when it cannot be read.
mode_t fileModeFor(const std::string &databasePath);
// The permission bits of a folder made beside the database: what the database's folder has,
// less the group and other bits that the database file itself does not have.
mode_t folderModeFor(const std::string &databasePath);

// A new file written under a temporary name beside its final one ("<path>.partial"), created
// with exactly the given permission bits whatever the umask, and given its name only once it
// is whole and on the disk. Dropped without commit(), the temporary file goes. Anything already
// named "<path>.partial" is never written through: std::system_error (EEXIST) names it.
class PendingFile
{
public:
    PendingFile(std::string path, mode_t mode);
    ~PendingFile();
    PendingFile(const PendingFile &) = delete;
    PendingFile &operator=(const PendingFile &) = delete;

    std::ostream &stream();
    // Syncs the file, renames it to its name and syncs the folder. Refuses to replace an
    // existing file unless replace is true. Throws std::system_error.
    void commit(bool replace = false);

private:
    class Buffer;
    std::string m_path;
    std::string m_partial;
    int m_fd = -1;
    std::unique_ptr<Buffer> m_buffer;
    std::unique_ptr<std::ostream> m_stream;
};

// Writes content through a PendingFile, so that after a crash path is either absent or
// complete. Throws std::system_error (EEXIST when path exists and replace is false).
void writeFile(const std::string &path, std::string_view content, mode_t mode,
               bool replace = false);

// Creates a new, empty file with exactly the given permission bits, whatever the umask; fails
// when a file of that name is there.
void createFile(const std::string &path, mode_t mode);

// Copies the file from to to: a new file with the given permission bits, synced.
void copyFile(const std::string &from, const std::string &to, mode_t mode);

// Gives the file at path the owner and group of the file at like, when this process may (it
// runs as root); otherwise leaves it as it is.
void takeOwnerOf(const std::string &like, const std::string &path);

// Renames from to to (an atomic replacement when to exists) and syncs the folder.
void rename(const std::string &from, const std::string &to);

// Syncs a file's contents, or a folder's list of names, to the disk.
void sync(const std::string &path);

// Removes the name path, without syncing its folder: for files that are no use whether or
// not they come back after a power cut (partial copies, backups beyond those kept). False when
// it could not be removed.
bool remove(const std::string &path);

// Makes the folder (one level) with exactly the given permission bits, whatever the umask,
// and syncs the folder it is in, when it is not there; a folder already there is left as it
// is.
void makeFolder(const std::string &path, mode_t mode);
// makeFolder for the folder and each missing folder above it, from the top down.
void makeFolders(const std::string &path, mode_t mode);

// Creates the file new, with exactly the given permission bits, and holds a lock on it (flock)
// until the returned descriptor is closed: a file being written that nobody else removes.
int createHeld(const std::string &path, mode_t mode);
// Removes the file, and the files beside it named by it and the suffixes given, unless a
// process holds its lock (createHeld); the files beside it go also when it is gone. False when
// it is held.
bool removeUnheld(const std::string &path, const std::vector<std::string> &besideSuffixes);

// Takes away from the file or folder at path the group and other bits that mode lacks; the
// owner's bits stay. False when it could not be changed.
bool tighten(const std::string &path, mode_t mode);

// The folder a path is in: "." for a bare name.
std::string folderOf(const std::string &path);

// A local date and time for file names: "20261207-134700".
std::string timestamp();

} // namespace quillet::durable
