#include "faults/io/FaultVfs.h"

#include <cstddef>
#include <stdexcept>

namespace quillet::test {

namespace {

// The engine allocates szOsFile bytes for each open file: our header first, the real VFS's
// file after it, aligned for anything it may hold.
struct ShimFile
{
    sqlite3_file base;          // what the engine sees; base.pMethods points at methods
    sqlite3_io_methods methods; // ours, at the real file's iVersion
    FaultVfs *owner;
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
    return realMethods(file).xClose(realFile(file));
}

int fileRead(sqlite3_file *file, void *buffer, int amount, sqlite3_int64 offset)
{
    return realMethods(file).xRead(realFile(file), buffer, amount, offset);
}

int fileWrite(sqlite3_file *file, const void *buffer, int amount, sqlite3_int64 offset)
{
    if (const int rc = shim(file)->owner->fault(FaultVfs::Call::Write))
        return rc;
    return realMethods(file).xWrite(realFile(file), buffer, amount, offset);
}

int fileTruncate(sqlite3_file *file, sqlite3_int64 size)
{
    if (const int rc = shim(file)->owner->fault(FaultVfs::Call::Truncate))
        return rc;
    return realMethods(file).xTruncate(realFile(file), size);
}

int fileSync(sqlite3_file *file, int flags)
{
    if (const int rc = shim(file)->owner->fault(FaultVfs::Call::Sync))
        return rc;
    return realMethods(file).xSync(realFile(file), flags);
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
    return realMethods(file).xSectorSize(realFile(file));
}

int fileDeviceCharacteristics(sqlite3_file *file)
{
    return realMethods(file).xDeviceCharacteristics(realFile(file));
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

FaultVfs *owner(sqlite3_vfs *vfs)
{
    return static_cast<FaultVfs *>(vfs->pAppData);
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
    sqlite3_file *inner = realFile(file);
    const int rc = real(vfs)->xOpen(real(vfs), name, inner, flags, outFlags);
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
    return real(vfs)->xDelete(real(vfs), name, syncDir);
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

FaultVfs::FaultVfs()
    : m_real(sqlite3_vfs_find("unix"))
{
    if (!m_real)
        throw std::runtime_error("the engine has no \"unix\" VFS");
    m_vfs.iVersion = m_real->iVersion;
    m_vfs.szOsFile = static_cast<int>(kRealOffset) + m_real->szOsFile;
    m_vfs.mxPathname = m_real->mxPathname;
    m_vfs.zName = "quillet-faults";
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
        throw std::runtime_error("cannot register the fault VFS");
}

FaultVfs::~FaultVfs()
{
    sqlite3_vfs_unregister(&m_vfs);
    sqlite3_vfs_register(m_real, 1);
}

void FaultVfs::arm(int n, Mode mode, int writeCode)
{
    m_armed = true;
    m_target = n;
    m_mode = mode;
    m_writeCode = writeCode;
    m_calls = 0;
    m_callsOf = {};
    m_injected = 0;
    m_firstCode = SQLITE_OK;
}

void FaultVfs::disarm()
{
    m_armed = false;
}

int FaultVfs::fault(Call kind)
{
    if (!m_armed)
        return SQLITE_OK;
    ++m_calls;
    ++m_callsOf[static_cast<int>(kind)];
    const bool fails = m_calls == m_target || (m_mode == Mode::Forever && m_calls > m_target);
    if (!fails)
        return SQLITE_OK;
    int code = m_writeCode;
    if (kind == Call::Sync)
        code = SQLITE_IOERR_FSYNC;
    else if (kind == Call::Truncate)
        code = SQLITE_IOERR_TRUNCATE;
    if (m_injected++ == 0)
        m_firstCode = code;
    return code;
}

} // namespace quillet::test
