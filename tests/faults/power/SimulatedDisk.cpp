#include "faults/power/SimulatedDisk.h"

#include "faults/io/ShimVfs.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace quillet::test {

// Writes are kept in whole sectors or not at all, so a write within one 512-byte sector is
// atomic; bytes outside a write never change, so an overwrite is safe when the power goes.
const int SimulatedDisk::kDeviceCharacteristics =
    SQLITE_IOCAP_ATOMIC512 | SQLITE_IOCAP_POWERSAFE_OVERWRITE;

namespace {

bool existsForReal(const char *path)
{
    struct stat info
    {
    };
    return ::lstat(path, &info) == 0;
}

int failed(int error)
{
    errno = error;
    return -1;
}

} // namespace

// The engine's side: its files below the root go through the model.
class SimulatedDisk::Vfs final : public ShimVfs
{
public:
    explicit Vfs(SimulatedDisk &disk)
        : ShimVfs("quillet-simulated-disk")
        , m_disk(disk)
    {
    }

    int openFiles() const { return m_openFiles; }

    int open(const char *name, int flags, sqlite3_file *real, int *outFlags, void *&tag) override
    {
        if (!name || !m_disk.m_model.covers(name))
            return ShimVfs::open(name, flags, real, outFlags, tag);
        DiskModel::Node node = m_disk.known(name);
        const bool creates =
            node == DiskModel::kNone && (flags & SQLITE_OPEN_CREATE) && !existsForReal(name);
        if (creates && !m_disk.change(false))
            return SQLITE_CANTOPEN;
        const int rc = ShimVfs::open(name, flags, real, outFlags, tag);
        if (rc != SQLITE_OK)
            return rc;
        if (creates)
            node = m_disk.m_model.createFile(name);
        if (node == DiskModel::kNone)
            return rc;
        // The "unix" layer syncs the folder once, at the first sync of a journal it opened
        // to create, so that the new journal's name is on the disk before the database changes.
        const bool newJournal =
            (flags & SQLITE_OPEN_CREATE) &&
            (flags & (SQLITE_OPEN_MAIN_JOURNAL | SQLITE_OPEN_SUPER_JOURNAL | SQLITE_OPEN_WAL));
        tag = new File{node, newJournal, name};
        ++m_openFiles;
        return rc;
    }

    int close(sqlite3_file *real, void *tag) override
    {
        if (tag) {
            delete static_cast<File *>(tag);
            --m_openFiles;
        }
        return ShimVfs::close(real, tag);
    }

    int write(sqlite3_file *real, void *tag, const void *data, int amount,
              sqlite3_int64 offset) override
    {
        if (!tag)
            return ShimVfs::write(real, tag, data, amount, offset);
        if (!m_disk.change(false))
            return SQLITE_IOERR_WRITE;
        const int rc = ShimVfs::write(real, tag, data, amount, offset);
        if (rc == SQLITE_OK)
            m_disk.m_model.write(file(tag).node, offset,
                                 std::string_view(static_cast<const char *>(data),
                                                  static_cast<std::size_t>(amount)));
        return rc;
    }

    int truncate(sqlite3_file *real, void *tag, sqlite3_int64 size) override
    {
        if (!tag)
            return ShimVfs::truncate(real, tag, size);
        if (!m_disk.change(false))
            return SQLITE_IOERR_TRUNCATE;
        const int rc = ShimVfs::truncate(real, tag, size);
        if (rc == SQLITE_OK)
            m_disk.m_model.truncate(file(tag).node, size);
        return rc;
    }

    int sync(sqlite3_file *real, void *tag, int flags) override
    {
        if (!tag)
            return ShimVfs::sync(real, tag, flags);
        if (!m_disk.change(true))
            return SQLITE_IOERR_FSYNC;
        m_disk.m_model.sync(file(tag).node);
        if (file(tag).syncFolder) {
            file(tag).syncFolder = false;
            if (!m_disk.change(true))
                return SQLITE_IOERR_FSYNC;
            m_disk.m_model.sync(m_disk.m_model.folderOf(file(tag).path));
        }
        return SQLITE_OK;
    }

    int sectorSize(sqlite3_file *real, void *tag) override
    {
        return tag ? kSectorSize : ShimVfs::sectorSize(real, tag);
    }

    int deviceCharacteristics(sqlite3_file *real, void *tag) override
    {
        return tag ? kDeviceCharacteristics : ShimVfs::deviceCharacteristics(real, tag);
    }

    int remove(const char *name, int syncFolder) override
    {
        if (!m_disk.m_model.covers(name) || m_disk.known(name) == DiskModel::kNone)
            return ShimVfs::remove(name, syncFolder);
        if (!m_disk.change(false))
            return SQLITE_IOERR_DELETE;
        const int rc = ShimVfs::remove(name, 0);
        if (rc != SQLITE_OK)
            return rc;
        m_disk.m_model.remove(name);
        if (syncFolder) {
            if (!m_disk.change(true))
                return SQLITE_IOERR_DIR_FSYNC;
            m_disk.m_model.sync(m_disk.m_model.folderOf(name));
        }
        return SQLITE_OK;
    }

private:
    struct File
    {
        DiskModel::Node node;
        bool syncFolder; // at its first sync
        std::string path;
    };

    static File &file(void *tag) { return *static_cast<File *>(tag); }

    SimulatedDisk &m_disk;
    int m_openFiles = 0;
};

SimulatedDisk::SimulatedDisk(const std::string &root)
    : m_model(root)
    , m_vfs(std::make_unique<Vfs>(*this))
    , m_previous(durable::useFileOperations(this))
{
}

SimulatedDisk::~SimulatedDisk()
{
    durable::useFileOperations(m_previous);
}

void SimulatedDisk::cutBefore(long long change, std::uint64_t seed)
{
    m_cutBefore = change;
    m_seed = seed;
}

bool SimulatedDisk::change(bool isSync)
{
    if (m_off)
        return false;
    ++m_changes;
    if (m_cutBefore > 0 && m_changes >= m_cutBefore) {
        m_off = true;
        return false;
    }
    if (isSync)
        m_syncs.push_back(m_changes);
    return true;
}

DiskModel::Node SimulatedDisk::known(const std::string &path)
{
    const DiskModel::Node node = m_model.find(path);
    if (node == DiskModel::kNone && existsForReal(path.c_str()) &&
        std::find(m_strays.begin(), m_strays.end(), path) == m_strays.end())
        m_strays.push_back(path);
    return node;
}

DiskModel::CutReport SimulatedDisk::restart()
{
    if (!m_open.empty() || m_vfs->openFiles() != 0)
        throw std::logic_error("a file on the simulated disk is still open at the power cut");
    const DiskModel::CutReport report = m_model.cut(m_seed);
    m_model.writeOut();
    m_off = false;
    m_cutBefore = 0;
    return report;
}

int SimulatedDisk::open(const char *path, int flags, mode_t mode)
{
    if (!m_model.covers(path))
        return ::open(path, flags, mode);
    DiskModel::Node node = known(path);
    const bool creates = node == DiskModel::kNone && (flags & O_CREAT) && !existsForReal(path);
    if (((flags & O_TRUNC) || creates) && !change(false))
        return failed(EIO);
    const int fd = ::open(path, flags, mode);
    if (fd < 0)
        return fd;
    if (creates)
        node = m_model.createFile(path);
    else if (node != DiskModel::kNone && (flags & O_TRUNC))
        m_model.truncate(node, 0);
    if (node != DiskModel::kNone)
        m_open[fd] = node;
    return fd;
}

ssize_t SimulatedDisk::write(int fd, const void *data, std::size_t size)
{
    const auto file = m_open.find(fd);
    if (file == m_open.end())
        return ::write(fd, data, size);
    if (!change(false))
        return failed(EIO);
    const off_t offset = ::lseek(fd, 0, SEEK_CUR);
    const ssize_t written = ::write(fd, data, size);
    if (written > 0)
        m_model.write(
            file->second, offset,
            std::string_view(static_cast<const char *>(data), static_cast<std::size_t>(written)));
    return written;
}

int SimulatedDisk::fsync(int fd)
{
    const auto file = m_open.find(fd);
    if (file == m_open.end())
        return ::fsync(fd);
    if (!change(true))
        return failed(EIO);
    m_model.sync(file->second);
    return 0;
}

int SimulatedDisk::close(int fd)
{
    m_open.erase(fd);
    return ::close(fd);
}

int SimulatedDisk::rename(const char *from, const char *to)
{
    if (!m_model.covers(from) && !m_model.covers(to))
        return ::rename(from, to);
    if (known(from) == DiskModel::kNone)
        return ::rename(from, to);
    known(to);
    if (!change(false))
        return failed(EIO);
    const int rc = ::rename(from, to);
    if (rc == 0)
        m_model.rename(from, to);
    return rc;
}

int SimulatedDisk::link(const char *from, const char *to)
{
    if ((!m_model.covers(from) && !m_model.covers(to)) || known(from) == DiskModel::kNone ||
        existsForReal(to))
        return ::link(from, to);
    if (!change(false))
        return failed(EIO);
    const int rc = ::link(from, to);
    if (rc == 0)
        m_model.link(from, to);
    return rc;
}

int SimulatedDisk::unlink(const char *path)
{
    if (!m_model.covers(path) || known(path) == DiskModel::kNone)
        return ::unlink(path);
    if (!change(false))
        return failed(EIO);
    const int rc = ::unlink(path);
    if (rc == 0)
        m_model.remove(path);
    return rc;
}

int SimulatedDisk::mkdir(const char *path, mode_t mode)
{
    if (!m_model.covers(path) || existsForReal(path))
        return ::mkdir(path, mode);
    if (!change(false))
        return failed(EIO);
    const int rc = ::mkdir(path, mode);
    if (rc == 0)
        m_model.makeFolder(path);
    return rc;
}

} // namespace quillet::test
