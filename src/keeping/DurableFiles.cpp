#include "keeping/DurableFiles.h"

#include "keeping/FileOperations.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <streambuf>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace quillet::durable {

namespace {

[[noreturn]] void fail(const std::string &what, int error = errno)
{
    throw std::system_error(error, std::generic_category(), what);
}

bool exists(const std::string &path)
{
    struct stat info
    {
    };
    return ::lstat(path.c_str(), &info) == 0;
}

// A new file with exactly the given permission bits: the umask would only ever take bits
// away, and a file that holds notes must not be readable by more users than its database.
int createExclusive(const std::string &path, mode_t mode)
{
    FileOperations &files = fileOperations();
    const int fd =
        files.open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0 && errno == EEXIST)
        fail(path + " is in the way, perhaps left by a write that was cut short; remove it, then "
                    "try again",
             EEXIST);
    if (fd < 0)
        fail("cannot create " + path);
    if (::fchmod(fd, mode) != 0) {
        const int saved = errno;
        files.close(fd);
        files.unlink(path.c_str());
        fail("cannot set the permissions of " + path, saved);
    }
    return fd;
}

bool writeAll(int fd, const char *data, std::size_t size)
{
    FileOperations &files = fileOperations();
    while (size > 0) {
        const ssize_t n = files.write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

// Buffers a stream's output and writes it to the file descriptor; the first failed write is
// kept, with its error, for commit() to report.
class PendingFile::Buffer : public std::streambuf
{
public:
    explicit Buffer(int fd)
        : m_fd(fd)
    {
        setp(m_bytes, m_bytes + sizeof m_bytes);
    }

    int error() const { return m_error; }

protected:
    int_type overflow(int_type c) override
    {
        if (!flush())
            return traits_type::eof();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }

    std::streamsize xsputn(const char *data, std::streamsize size) override
    {
        // Large pieces go straight to the file rather than through the buffer.
        if (size < epptr() - pptr())
            return std::streambuf::xsputn(data, size);
        if (!flush() || !write(data, static_cast<std::size_t>(size)))
            return 0;
        return size;
    }

    int sync() override { return flush() ? 0 : -1; }

private:
    bool flush()
    {
        const std::size_t size = static_cast<std::size_t>(pptr() - pbase());
        setp(m_bytes, m_bytes + sizeof m_bytes);
        return write(m_bytes, size);
    }

    bool write(const char *data, std::size_t size)
    {
        if (m_error != 0)
            return false;
        if (!writeAll(m_fd, data, size))
            m_error = errno != 0 ? errno : EIO;
        return m_error == 0;
    }

    int m_fd;
    int m_error = 0;
    char m_bytes[1 << 16];
};

std::string resolved(const std::string &path)
{
    char target[PATH_MAX];
    if (::realpath(path.c_str(), target) == nullptr)
        return path;
    return target;
}

mode_t fileModeFor(const std::string &databasePath)
{
    struct stat info
    {
    };
    if (::stat(databasePath.c_str(), &info) != 0)
        return 0600;
    // The owner can always write what it makes; nobody else gets more than the database gives.
    return (info.st_mode & 0666) | 0600;
}

mode_t folderModeFor(const std::string &databasePath)
{
    const mode_t file = fileModeFor(databasePath);
    struct stat info
    {
    };
    mode_t mode = 0700;
    if (::stat(folderOf(resolved(databasePath)).c_str(), &info) == 0)
        mode |= info.st_mode & 0777;
    if ((file & 0070) == 0)
        mode &= ~mode_t(0070);
    if ((file & 0007) == 0)
        mode &= ~mode_t(0007);
    return mode;
}

PendingFile::PendingFile(std::string path, mode_t mode)
    : m_path(std::move(path))
    , m_partial(m_path + ".partial")
{
    // Made new, never written through: a file of that name (left by a run cut short, or put
    // there, perhaps a link) is refused and named, not removed; it is the user's to look at.
    m_fd = createExclusive(m_partial, mode);
    m_buffer = std::make_unique<Buffer>(m_fd);
    m_stream = std::make_unique<std::ostream>(m_buffer.get());
}

PendingFile::~PendingFile()
{
    if (m_fd >= 0) {
        fileOperations().close(m_fd);
        remove(m_partial);
    }
}

std::ostream &PendingFile::stream()
{
    return *m_stream;
}

void PendingFile::commit(bool replace)
{
    m_stream->flush();
    FileOperations &files = fileOperations();
    const auto abandon = [&](const std::string &what, int error) {
        files.close(m_fd);
        m_fd = -1;
        remove(m_partial);
        fail(what, error);
    };
    if (m_buffer->error() != 0 || !*m_stream)
        abandon("cannot write " + m_partial, m_buffer->error() != 0 ? m_buffer->error() : EIO);
    if (files.fsync(m_fd) != 0)
        abandon("cannot write " + m_partial + " to the disk", errno);
    const int fd = m_fd;
    m_fd = -1;
    if (files.close(fd) != 0) {
        const int saved = errno;
        remove(m_partial);
        fail("cannot write " + m_partial + " to the disk", saved);
    }
    if (!replace && exists(m_path)) {
        remove(m_partial);
        fail("will not replace " + m_path, EEXIST);
    }
    try {
        rename(m_partial, m_path);
    } catch (...) {
        remove(m_partial);
        throw;
    }
}

void writeFile(const std::string &path, std::string_view content, mode_t mode, bool replace)
{
    if (!replace && exists(path))
        fail("will not replace " + path, EEXIST);
    PendingFile file(path, mode);
    file.stream().write(content.data(), static_cast<std::streamsize>(content.size()));
    file.commit(replace);
}

std::string folderOf(const std::string &path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

void sync(const std::string &path)
{
    FileOperations &files = fileOperations();
    const int fd = files.open(path.c_str(), O_RDONLY | O_CLOEXEC, 0);
    if (fd < 0)
        fail("cannot open " + path);
    const int rc = files.fsync(fd);
    const int saved = errno;
    files.close(fd);
    if (rc != 0)
        fail("cannot write " + path + " to the disk", saved);
}

void copyFile(const std::string &from, const std::string &to, mode_t mode)
{
    FileOperations &files = fileOperations();
    const int in = files.open(from.c_str(), O_RDONLY | O_CLOEXEC, 0);
    if (in < 0)
        fail("cannot open " + from);
    int out = -1;
    try {
        out = createExclusive(to, mode);
    } catch (...) {
        files.close(in);
        throw;
    }
    char buffer[1 << 16];
    bool ok = true;
    for (;;) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        if (!(ok = writeAll(out, buffer, static_cast<std::size_t>(n))))
            break;
    }
    ok = ok && files.fsync(out) == 0;
    const int saved = errno;
    files.close(in);
    if (files.close(out) != 0)
        ok = false;
    if (!ok) {
        remove(to);
        fail("cannot copy " + from + " to " + to, saved);
    }
}

int createHeld(const std::string &path, mode_t mode)
{
    const int fd = createExclusive(path, mode);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int saved = errno;
        fileOperations().close(fd);
        fail("cannot lock " + path, saved);
    }
    return fd;
}

bool removeUnheld(const std::string &path, const std::vector<std::string> &besideSuffixes)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    // The engine's files beside it go first: a journal left without its file would be
    // played into a new file of the same name.
    for (const std::string &suffix : besideSuffixes)
        remove(path + suffix);
    if (fd >= 0) {
        remove(path);
        ::close(fd);
    }
    return true;
}

void createFile(const std::string &path, mode_t mode)
{
    fileOperations().close(createExclusive(path, mode));
}

void takeOwnerOf(const std::string &like, const std::string &path)
{
    struct stat info
    {
    };
    if (::geteuid() == 0 && ::stat(like.c_str(), &info) == 0 &&
        ::chown(path.c_str(), info.st_uid, info.st_gid) != 0)
        fail("cannot give " + path + " the owner of " + like);
}

void rename(const std::string &from, const std::string &to)
{
    if (fileOperations().rename(from.c_str(), to.c_str()) != 0)
        fail("cannot rename " + from + " to " + to);
    sync(folderOf(to));
}

bool remove(const std::string &path)
{
    return fileOperations().unlink(path.c_str()) == 0;
}

void makeFolder(const std::string &path, mode_t mode)
{
    if (fileOperations().mkdir(path.c_str(), 0700) != 0) {
        if (errno != EEXIST)
            fail("cannot make the folder " + path);
        struct stat info
        {
        };
        if (::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode))
            fail("the folder " + path + " cannot be made, because a file has its name", ENOTDIR);
        return;
    }
    // Set while the folder is still empty, so that nothing in it was ever open to more users.
    if (::chmod(path.c_str(), mode) != 0)
        fail("cannot set the permissions of the folder " + path);
    // The folder's name is an entry of the folder it is in: unless that is synced too, a power
    // cut can take the new folder away with every file synced into it.
    sync(folderOf(path));
}

void makeFolders(const std::string &path, mode_t mode)
{
    // The walk up ends at a folder that is there, "/" or "." at the latest.
    struct stat info
    {
    };
    if (::stat(path.c_str(), &info) != 0)
        makeFolders(folderOf(path), mode);
    makeFolder(path, mode);
}

bool tighten(const std::string &path, mode_t mode)
{
    struct stat info
    {
    };
    if (::lstat(path.c_str(), &info) != 0 || S_ISLNK(info.st_mode))
        return false;
    const mode_t now = info.st_mode & 07777;
    const mode_t wanted = now & ~(~mode & 0077);
    return wanted == now || ::chmod(path.c_str(), wanted) == 0;
}

std::string timestamp()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

} // namespace quillet::durable
