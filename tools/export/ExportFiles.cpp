#include "tools/export/ExportFiles.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace quillet::dbtool::exportfiles {

namespace {

[[noreturn]] void fail(const std::string &what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

constexpr std::size_t kBufferSize = 1 << 16;

// The name to make relative to folder: the whole path from the working folder, else its last
// part.
std::string nameIn(const std::string &path, int folder)
{
    return folder == AT_FDCWD ? path : path.substr(path.rfind('/') + 1);
}

} // namespace

std::runtime_error inTheWay(const std::string &path)
{
    return std::runtime_error(path + " is in the way, perhaps left by an export that was cut "
                                     "short. Remove it, then export again.");
}

NotesMode notesMode(const std::string &databasePath)
{
    struct stat info
    {
    };
    if (::stat(databasePath.c_str(), &info) != 0)
        fail("cannot examine " + databasePath);
    NotesMode mode;
    mode.file = info.st_mode & 0666;
    const mode_t others = info.st_mode & 0066;
    mode.folder = 0700 | others | ((others & 0044) >> 2);
    // Reading the umask sets it: for that moment to the strictest one. The tool runs on one
    // thread, so no other file is made meanwhile.
    const mode_t umask = ::umask(0077);
    ::umask(umask);
    mode.masked = ((mode.file | mode.folder) & umask) != 0;
    return mode;
}

int createFile(const std::string &path, const NotesMode &mode, int folder)
{
    const int fd = ::openat(folder, nameIn(path, folder).c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode.file);
    if (fd < 0 && errno == EEXIST)
        throw inTheWay(path);
    if (fd < 0)
        fail("cannot create " + path);
    // The file was made with no more than the database's bits, so it never held more.
    if (mode.masked && ::fchmod(fd, mode.file) != 0) {
        const int saved = errno;
        ::close(fd);
        ::unlinkat(folder, nameIn(path, folder).c_str(), 0);
        errno = saved;
        fail("cannot set the permissions of " + path);
    }
    return fd;
}

int makeFolder(const std::string &path, const NotesMode &mode, int folder)
{
    const std::string name = nameIn(path, folder);
    if (::mkdirat(folder, name.c_str(), mode.folder) != 0) {
        if (errno == EEXIST)
            throw inTheWay(path);
        fail("cannot make the folder " + path);
    }
    const int fd = ::openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        fail("cannot open the folder " + path);
    if (mode.masked && ::fchmod(fd, mode.folder) != 0) {
        const int saved = errno;
        ::close(fd);
        errno = saved;
        fail("cannot set the permissions of " + path);
    }
    return fd;
}

void writeAll(int fd, std::string_view bytes, const std::string &path)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            fail("cannot write " + path);
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

DescriptorBuffer::DescriptorBuffer(int fd, std::string path)
    : m_fd(fd)
    , m_path(std::move(path))
{
    m_buffer.reserve(kBufferSize);
}

DescriptorBuffer::int_type DescriptorBuffer::overflow(int_type c)
{
    if (traits_type::eq_int_type(c, traits_type::eof()))
        return sync() == 0 ? traits_type::not_eof(c) : traits_type::eof();
    const char one = traits_type::to_char_type(c);
    return xsputn(&one, 1) == 1 ? c : traits_type::eof();
}

std::streamsize DescriptorBuffer::xsputn(const char *data, std::streamsize n)
{
    m_buffer.append(data, static_cast<std::size_t>(n));
    if (m_buffer.size() >= kBufferSize && sync() != 0)
        return 0;
    return n;
}

int DescriptorBuffer::sync()
{
    try {
        writeAll(m_fd, m_buffer, m_path);
    } catch (const std::system_error &) {
        return -1;
    }
    m_buffer.clear();
    return 0;
}

} // namespace quillet::dbtool::exportfiles
