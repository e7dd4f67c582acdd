#pragma once

#include <fcntl.h>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <sys/types.h>

// Files and folders an export writes notes into. Every such file is made here, with the
// database file's own permission bits, so that an export never shows notes to anyone the
// database does not.
namespace quillet::dbtool::exportfiles {

// The permission bits an export gives what it makes, from the database file's: its files the
// database's bits less execute bits; its folders the owner's full access, and for the group
// and others the read and write bits the database gives them, with search where it gives read
// (no group or other bits at all when the database has none).
struct NotesMode
{
    mode_t file = 0600;
    mode_t folder = 0700;
    // The umask takes some of these bits away, so each file and folder has its bits set again
    // once made; an export makes tens of thousands, and most need no second call.
    bool masked = true;
};

// The bits for the exports of the database at databasePath, under the umask as it is now.
// Throws std::system_error when the file cannot be examined.
NotesMode notesMode(const std::string &databasePath);

// Creates a new file at path (never one that exists, never through a link) with exactly the
// file bits of mode, whatever the umask, and returns its open descriptor for writing. When
// folder is an open descriptor of the folder path is in, the file is made there by its name:
// walking a long path again for each of thousands of files costs more than the writing.
// Throws inTheWay(path) when anything is there already, std::system_error on other failures.
int createFile(const std::string &path, const NotesMode &mode, int folder = AT_FDCWD);

// Makes a new folder at path with exactly the folder bits of mode, whatever the umask, and
// returns an open descriptor of it; folder as for createFile. Throws as createFile does.
int makeFolder(const std::string &path, const NotesMode &mode, int folder = AT_FDCWD);

// What stops an export whose file or folder would be made where something already is: never
// written through, it is the user's to look at.
std::runtime_error inTheWay(const std::string &path);

// Writes everything to the descriptor, through EINTR and short writes. Throws
// std::system_error naming path.
void writeAll(int fd, std::string_view bytes, const std::string &path);

// A stream buffer that writes to a descriptor it does not own, a buffer at a time.
class DescriptorBuffer : public std::streambuf
{
public:
    DescriptorBuffer(int fd, std::string path);
    DescriptorBuffer(const DescriptorBuffer &) = delete;
    DescriptorBuffer &operator=(const DescriptorBuffer &) = delete;

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char *data, std::streamsize n) override;
    int sync() override;

private:
    int m_fd;
    std::string m_path;
    std::string m_buffer;
};

} // namespace quillet::dbtool::exportfiles
