#include "faults/io/ShimVfs.h"

#include <cstddef>
#include <stdexcept>
#include <string>

namespace quillet::test {

namespace {

// The engine allocates szOsFile bytes for each open file: our header first, the real VFS's
// file after it, aligned for anything it may hold.
struct ShimFile
{
    sqlite3_file base;          // what the engine sees; base.pMethods points at methods
    sqlite3_io_methods methods; // ours, at the real file's iVersion
    ShimVfs *owner;
    void *tag; // the derived class's own for this file
};

constexpr std::size_t kRealOffset = (sizeof(ShimFile) + alignof(std::max_align_t) - 1) /
                                    alignof(std::max_align_t) * alignof(std::max_align_t);

ShimFile *shim(sqlite3_file *file)
{
    return reinterpret_cast<ShimFile *>(file);
}

sqlite3_file *realFile(sqlite3_file *file)
{
    return reinterpret_cast<sqlite3_file *>(reinterpret_cast<char *>(file) + kRealOffset);
}

const sqlite3_io_methods &realMethods(sqlite3_file *file)
{
    return *realFile(file)->pMethods;
}

int fileClose(sqlite3_file *file)
{
    return shim(file)->owner->close(realFile(file), shim(file)->tag);
}

int fileRead(sqlite3_file *file, void *buffer, int amount, sqlite3_int64 offset)
{
    return realMethods(file).xRead(realFile(file), buffer, amount, offset);
}

int fileWrite(sqlite3_file *file, const void *buffer, int amount, sqlite3_int64 offset)
{
    return shim(file)->owner->write(realFile(file), shim(file)->tag, buffer, amount, offset);
}

int fileTruncate(sqlite3_file *file, sqlite3_int64 size)
{
    return shim(file)->owner->truncate(realFile(file), shim(file)->tag, size);
}

int fileSync(sqlite3_file *file, int flags)
{
    return shim(file)->owner->sync(realFile(file), shim(file)->tag, flags);
}

int fileSize(sqlite3_file *file, sqlite3_int64 *size)
{
    return realMethods(file).xFileSize(realFile(file), size);
}

int fileLock(sqlite3_file *file, int level)
{
    return realMethods(file).xLock(realFile(file), level);
}

int fileUnlock(sqlite3_file *file, int level)
{
    return realMethods(file).xUnlock(realFile(file), level);
}

int fileCheckReservedLock(sqlite3_file *file, int *reserved)
{
    return realMethods(file).xCheckReservedLock(realFile(file), reserved);
}

int fileControl(sqlite3_file *file, int op, void *argument)
{
    return realMethods(file).xFileControl(realFile(file), op, argument);
}

int fileSectorSize(sqlite3_file *file)
{
    return shim(file)->owner->sectorSize(realFile(file), shim(file)->tag);
}

int fileDeviceCharacteristics(sqlite3_file *file)
{
    return shim(file)->owner->deviceCharacteristics(realFile(file), shim(file)->tag);
}

int fileShmMap(sqlite3_file *file, int region, int size, int extend, void volatile **map)
{
    return realMethods(file).xShmMap(realFile(file), region, size, extend, map);
}

int fileShmLock(sqlite3_file *file, int offset, int count, int flags)
{
    return realMethods(file).xShmLock(realFile(file), offset, count, flags);
}

void fileShmBarrier(sqlite3_file *file)
{
    realMethods(file).xShmBarrier(realFile(file));
}

int fileShmUnmap(sqlite3_file *file, int deleteFlag)
{
    return realMethods(file).xShmUnmap(realFile(file), deleteFlag);
}

int fileFetch(sqlite3_file *file, sqlite3_int64 offset, int amount, void **page)
{
    return realMethods(file).xFetch(realFile(file), offset, amount, page);
}

int fileUnfetch(sqlite3_file *file, sqlite3_int64 offset, void *page)
{
    return realMethods(file).xUnfetch(realFile(file), offset, page);
}

// Our methods at the real file's version: the engine calls the optional ones (shared memory,
// memory mapping) only when the version says they are there.
sqlite3_io_methods methodsFor(int version)
{
    sqlite3_io_methods methods{};
    methods.iVersion = version;
    methods.xClose = fileClose;
    methods.xRead = fileRead;
    methods.xWrite = fileWrite;
    methods.xTruncate = fileTruncate;
    methods.xSync = fileSync;
    methods.xFileSize = fileSize;
    methods.xLock = fileLock;
    methods.xUnlock = fileUnlock;
    methods.xCheckReservedLock = fileCheckReservedLock;
    methods.xFileControl = fileControl;
    methods.xSectorSize = fileSectorSize;
    methods.xDeviceCharacteristics = fileDeviceCharacteristics;
    if (version >= 2) {
        methods.xShmMap = fileShmMap;
        methods.xShmLock = fileShmLock;
        methods.xShmBarrier = fileShmBarrier;
        methods.xShmUnmap = fileShmUnmap;
    }
    if (version >= 3) {
        methods.xFetch = fileFetch;
        methods.xUnfetch = fileUnfetch;
    }
    return methods;
}

ShimVfs *owner(sqlite3_vfs *vfs)
{
    return static_cast<ShimVfs *>(vfs->pAppData);
}

sqlite3_vfs *real(sqlite3_vfs *vfs)
{
    return owner(vfs)->real();
}

int vfsOpen(sqlite3_vfs *vfs, const char *name, sqlite3_file *file, int flags, int *outFlags)
{
    ShimFile *header = shim(file);
    header->base.pMethods = nullptr;
    header->owner = owner(vfs);
    header->tag = nullptr;
    sqlite3_file *inner = realFile(file);
    inner->pMethods = nullptr;
    const int rc = header->owner->open(name, flags, inner, outFlags, header->tag);
    // The engine closes a file whose open failed when it has methods; ours mirror the real
    // file's, so that the real close runs exactly when it would have without the shim.
    if (inner->pMethods) {
        header->methods = methodsFor(inner->pMethods->iVersion);
        header->base.pMethods = &header->methods;
    }
    return rc;
}

int vfsDelete(sqlite3_vfs *vfs, const char *name, int syncDir)
{
    return owner(vfs)->remove(name, syncDir);
}

int vfsAccess(sqlite3_vfs *vfs, const char *name, int flags, int *result)
{
    return real(vfs)->xAccess(real(vfs), name, flags, result);
}

int vfsFullPathname(sqlite3_vfs *vfs, const char *name, int size, char *out)
{
    return real(vfs)->xFullPathname(real(vfs), name, size, out);
}

void *vfsDlOpen(sqlite3_vfs *vfs, const char *name)
{
    return real(vfs)->xDlOpen(real(vfs), name);
}

void vfsDlError(sqlite3_vfs *vfs, int size, char *message)
{
    real(vfs)->xDlError(real(vfs), size, message);
}

void (*vfsDlSym(sqlite3_vfs *vfs, void *handle, const char *symbol))(void)
{
    return real(vfs)->xDlSym(real(vfs), handle, symbol);
}

void vfsDlClose(sqlite3_vfs *vfs, void *handle)
{
    real(vfs)->xDlClose(real(vfs), handle);
}

int vfsRandomness(sqlite3_vfs *vfs, int size, char *out)
{
    return real(vfs)->xRandomness(real(vfs), size, out);
}

int vfsSleep(sqlite3_vfs *vfs, int microseconds)
{
    return real(vfs)->xSleep(real(vfs), microseconds);
}

int vfsCurrentTime(sqlite3_vfs *vfs, double *now)
{
    return real(vfs)->xCurrentTime(real(vfs), now);
}

int vfsGetLastError(sqlite3_vfs *vfs, int size, char *message)
{
    return real(vfs)->xGetLastError(real(vfs), size, message);
}

int vfsCurrentTimeInt64(sqlite3_vfs *vfs, sqlite3_int64 *now)
{
    return real(vfs)->xCurrentTimeInt64(real(vfs), now);
}

int vfsSetSystemCall(sqlite3_vfs *vfs, const char *name, sqlite3_syscall_ptr call)
{
    return real(vfs)->xSetSystemCall(real(vfs), name, call);
}

sqlite3_syscall_ptr vfsGetSystemCall(sqlite3_vfs *vfs, const char *name)
{
    return real(vfs)->xGetSystemCall(real(vfs), name);
}

const char *vfsNextSystemCall(sqlite3_vfs *vfs, const char *name)
{
    return real(vfs)->xNextSystemCall(real(vfs), name);
}

} // namespace

ShimVfs::ShimVfs(const char *name)
    : m_real(sqlite3_vfs_find("unix"))
{
    if (!m_real)
        throw std::runtime_error("the engine has no \"unix\" VFS");
    m_vfs.iVersion = m_real->iVersion;
    m_vfs.szOsFile = static_cast<int>(kRealOffset) + m_real->szOsFile;
    m_vfs.mxPathname = m_real->mxPathname;
    m_vfs.zName = name;
    m_vfs.pAppData = this;
    m_vfs.xOpen = vfsOpen;
    m_vfs.xDelete = vfsDelete;
    m_vfs.xAccess = vfsAccess;
    m_vfs.xFullPathname = vfsFullPathname;
    m_vfs.xDlOpen = vfsDlOpen;
    m_vfs.xDlError = vfsDlError;
    m_vfs.xDlSym = vfsDlSym;
    m_vfs.xDlClose = vfsDlClose;
    m_vfs.xRandomness = vfsRandomness;
    m_vfs.xSleep = vfsSleep;
    m_vfs.xCurrentTime = vfsCurrentTime;
    m_vfs.xGetLastError = vfsGetLastError;
    if (m_vfs.iVersion >= 2)
        m_vfs.xCurrentTimeInt64 = vfsCurrentTimeInt64;
    if (m_vfs.iVersion >= 3) {
        m_vfs.xSetSystemCall = vfsSetSystemCall;
        m_vfs.xGetSystemCall = vfsGetSystemCall;
        m_vfs.xNextSystemCall = vfsNextSystemCall;
    }
    if (sqlite3_vfs_register(&m_vfs, 1) != SQLITE_OK)
        throw std::runtime_error(std::string("cannot register the VFS ") + name);
}

ShimVfs::~ShimVfs()
{
    sqlite3_vfs_unregister(&m_vfs);
    sqlite3_vfs_register(m_real, 1);
}

int ShimVfs::open(const char *name, int flags, sqlite3_file *real, int *outFlags, void *&)
{
    return m_real->xOpen(m_real, name, real, flags, outFlags);
}

int ShimVfs::close(sqlite3_file *real, void *)
{
    return real->pMethods->xClose(real);
}

int ShimVfs::write(sqlite3_file *real, void *, const void *data, int amount, sqlite3_int64 offset)
{
    return real->pMethods->xWrite(real, data, amount, offset);
}

int ShimVfs::truncate(sqlite3_file *real, void *, sqlite3_int64 size)
{
    return real->pMethods->xTruncate(real, size);
}

int ShimVfs::sync(sqlite3_file *real, void *, int flags)
{
    return real->pMethods->xSync(real, flags);
}

int ShimVfs::sectorSize(sqlite3_file *real, void *)
{
    return real->pMethods->xSectorSize(real);
}

int ShimVfs::deviceCharacteristics(sqlite3_file *real, void *)
{
    return real->pMethods->xDeviceCharacteristics(real);
}

int ShimVfs::remove(const char *name, int syncFolder)
{
    return m_real->xDelete(m_real, name, syncFolder);
}

} // namespace quillet::test
