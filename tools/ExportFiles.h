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

// The permission bits of the database file, for the files an export makes from it.
// Throws std::system_error when the file cannot be examined.
mode_t notesMode(const std::string &databasePath);

// Creates a new file at path (never one that exists, never through a link) with exactly the
// bits of mode less any execute bits, whatever the umask, and returns its open descriptor for
// writing. When folder is an open descriptor of the folder path is in, the file is made there
// by its name: walking a long path again for each of thousands of files costs more than the
// writing. Throws std::system_error.
int createFile(const std::string &path, mode_t mode, int folder = AT_FDCWD);

// Makes a new folder at path with the owner's full access, and for the group and others the
// read and write bits mode gives them, with search where it gives read: no group or other bits
// at all when the database has none. Exactly these bits, whatever the umask. Returns an open
// descriptor of the new folder; folder as for createFile. Throws std::system_error, also when
// anything is already at path.
int makeFolder(const std::string &path, mode_t mode, int folder = AT_FDCWD);

// What stops an export whose file or folder, written beside its name, would be made where
// something already is.
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
