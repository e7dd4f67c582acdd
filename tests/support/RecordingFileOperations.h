#pragma once

#include "keeping/FileOperations.h"

#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

namespace quillet::test {

// The operating system's calls, each recorded as one line naming the call and the file (by
// its name within the test's folder), with fsync failing on request.
class RecordingFileOperations final : public durable::FileOperations
{
public:
    explicit RecordingFileOperations(std::string folder)
        : m_folder(std::move(folder))
    {
        durable::useFileOperations(this);
    }
    ~RecordingFileOperations() override { durable::useFileOperations(nullptr); }

    int open(const char *path, int flags, mode_t mode) override
    {
        const int fd = ::open(path, flags, mode);
        if (fd >= 0)
            m_names[fd] = name(path);
        m_calls.push_back(std::string((flags & O_CREAT) ? "create " : "open ") + name(path));
        return fd;
    }
    ssize_t write(int fd, const void *data, std::size_t size) override
    {
        m_calls.push_back("write " + m_names[fd]);
        return ::write(fd, data, size);
    }
    int fsync(int fd) override
    {
        m_calls.push_back("fsync " + m_names[fd]);
        if (beforeSync)
            beforeSync(m_names[fd]);
        if (m_failSyncs) {
            errno = EIO;
            return -1;
        }
        return 0; // the disk's own sync is no part of what is checked here
    }
    int close(int fd) override
    {
        m_calls.push_back("close " + m_names[fd]);
        m_names.erase(fd);
        return ::close(fd);
    }
    int rename(const char *from, const char *to) override
    {
        m_calls.push_back("rename " + name(from) + " " + name(to));
        return ::rename(from, to);
    }
    int link(const char *from, const char *to) override
    {
        m_calls.push_back("link " + name(from) + " " + name(to));
        return ::link(from, to);
    }
    int unlink(const char *path) override
    {
        m_calls.push_back("unlink " + name(path));
        return ::unlink(path);
    }
    int mkdir(const char *path, mode_t mode) override
    {
        m_calls.push_back("mkdir " + name(path));
        return ::mkdir(path, mode);
    }

    void failSyncs() { m_failSyncs = true; }
    // Called with a file's name as it is synced, to look at what the disk holds by then.
    std::function<void(const std::string &)> beforeSync;
    const std::vector<std::string> &calls() const { return m_calls; }

private:
    std::string name(const std::string &path) const
    {
        if (path == m_folder)
            return ".";
        return path.starts_with(m_folder + "/") ? path.substr(m_folder.size() + 1) : path;
    }

    std::string m_folder;
    std::map<int, std::string> m_names;
    std::vector<std::string> m_calls;
    bool m_failSyncs = false;
};

} // namespace quillet::test
