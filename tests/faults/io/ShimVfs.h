#pragma once

#include <sqlite3.h>

namespace quillet::test {

// A VFS over the engine's own "unix" one that passes every call through to it, for a derived
// class to take over the calls it is about: the fault VFS fails some of them, the simulated
// disk records what each makes durable.
//
// While an object of this class lives it is the default VFS, so that a store opening a file by
// name goes through it; the destructor makes "unix" the default again.
class ShimVfs
{
public:
    explicit ShimVfs(const char *name);
    virtual ~ShimVfs();
    ShimVfs(const ShimVfs &) = delete;
    ShimVfs &operator=(const ShimVfs &) = delete;

    sqlite3_vfs *real() const { return m_real; }

    // The hooks. Each receives the real VFS's file to pass the call on to, and the tag the
    // derived class gave the file when it was opened (nullptr unless it gave one). Each default
    // passes the call through.
    virtual int open(const char *name, int flags, sqlite3_file *real, int *outFlags, void *&tag);
    virtual int close(sqlite3_file *real, void *tag);
    virtual int write(sqlite3_file *real, void *tag, const void *data, int amount,
                      sqlite3_int64 offset);
    virtual int truncate(sqlite3_file *real, void *tag, sqlite3_int64 size);
    virtual int sync(sqlite3_file *real, void *tag, int flags);
    virtual int sectorSize(sqlite3_file *real, void *tag);
    virtual int deviceCharacteristics(sqlite3_file *real, void *tag);
    // xDelete: the engine asks for the folder to be synced afterwards when syncFolder is set.
    virtual int remove(const char *name, int syncFolder);

private:
    sqlite3_vfs m_vfs{};
    sqlite3_vfs *m_real = nullptr;
};

} // namespace quillet::test
