#include "keeping/InUseLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace quillet {

InUseLock::InUseLock(const std::string &databasePath)
    : m_fd(::open(databasePath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC))
{
    if (m_fd >= 0)
        ::flock(m_fd, LOCK_SH | LOCK_NB);
}

InUseLock::~InUseLock()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool isInUse(const std::string &databasePath)
{
    const int fd = ::open(databasePath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

} // namespace quillet
