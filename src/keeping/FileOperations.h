#pragma once

#include <cstddef>
#include <sys/types.h>

// The system calls through which every file kept beside a notes database is made, written,
// synced, renamed and removed. By default they are the operating system's own; a test puts a
// simulated disk in their place, so that a power cut it simulates hits these files and the
// database (which the engine writes through its own file layer) at the same moment.
namespace quillet::durable {

// Each call behaves as the POSIX call of its name: a result below 0 is a failure, with errno
// set. A folder is synced by opening it read-only and calling fsync on it.
class FileOperations
{
public:
    virtual ~FileOperations() = default;

    virtual int open(const char *path, int flags, mode_t mode) = 0;
    virtual ssize_t write(int fd, const void *data, std::size_t size) = 0;
    virtual int fsync(int fd) = 0;
    virtual int close(int fd) = 0;
    virtual int rename(const char *from, const char *to) = 0;
    // Gives the file at from a second name, to, failing (EEXIST) when to is taken: the way to
    // put a new file in place that never replaces one.
    virtual int link(const char *from, const char *to) = 0;
    virtual int unlink(const char *path) = 0;
    virtual int mkdir(const char *path, mode_t mode) = 0;
};

// The calls in use: the operating system's unless a test has put others in their place.
FileOperations &fileOperations();

// Puts operations in the place of the operating system's calls, process-wide, as the engine's
// file layer is; nullptr puts the operating system's back. Set only while no file is being
// written (a test sets it before its work and clears it after). Returns what was in use.
FileOperations *useFileOperations(FileOperations *operations);

} // namespace quillet::durable
