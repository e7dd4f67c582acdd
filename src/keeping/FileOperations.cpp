#include "keeping/FileOperations.h"

#include <atomic>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillet::durable {

namespace {

class SystemFileOperations final : public FileOperations
{
public:
    int open(const char *path, int flags, mode_t mode) override
    {
        return ::open(path, flags, mode);
    }
    ssize_t write(int fd, const void *data, std::size_t size) override
    {
        return ::write(fd, data, size);
    }
    int fsync(int fd) override { return ::fsync(fd); }
    int close(int fd) override { return ::close(fd); }
    int rename(const char *from, const char *to) override { return ::rename(from, to); }
    int link(const char *from, const char *to) override { return ::link(from, to); }
    int unlink(const char *path) override { return ::unlink(path); }
    int mkdir(const char *path, mode_t mode) override { return ::mkdir(path, mode); }
};

SystemFileOperations systemOperations;
std::atomic<FileOperations *> inUse{&systemOperations};

} // namespace

FileOperations &fileOperations()
{
    return *inUse.load(std::memory_order_acquire);
}

FileOperations *useFileOperations(FileOperations *operations)
{
    FileOperations *previous =
        inUse.exchange(operations ? operations : &systemOperations, std::memory_order_acq_rel);
    return previous == &systemOperations ? nullptr : previous;
}

} // namespace quillet::durable
