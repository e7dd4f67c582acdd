#include "faults/power/BrokenWriting.h"

#include "keeping/History.h"
#include "store/NoteStore.h"

#include <sys/stat.h>

namespace quillet::test {

int FolderSyncSkipping::open(const char *path, int flags, mode_t mode)
{
    return m_files.open(path, flags, mode);
}

ssize_t FolderSyncSkipping::write(int fd, const void *data, std::size_t size)
{
    return m_files.write(fd, data, size);
}

int FolderSyncSkipping::fsync(int fd)
{
    struct stat info
    {
    };
    if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode))
        return 0;
    return m_files.fsync(fd);
}

int FolderSyncSkipping::close(int fd)
{
    return m_files.close(fd);
}

int FolderSyncSkipping::rename(const char *from, const char *to)
{
    return m_files.rename(from, to);
}

int FolderSyncSkipping::link(const char *from, const char *to)
{
    return m_files.link(from, to);
}

int FolderSyncSkipping::unlink(const char *path)
{
    return m_files.unlink(path);
}

int FolderSyncSkipping::mkdir(const char *path, mode_t mode)
{
    return m_files.mkdir(path, mode);
}

void moveBroken(NoteStore &store, NoteHistory &history, const std::string &key,
                const moves::Place &place, bool crossed)
{
    const moves::Plan plan = moves::plan(store.connection(), key, place);
    std::vector<NoteHistory::Renumbered> renumbered;
    for (const moves::RowChange &change : plan.changes)
        if (change.oldId != change.newId)
            renumbered.push_back({change.oldId, change.newId, change.newKey});
    for (std::size_t i = 0; i < renumbered.size() / 2; ++i)
        std::swap(renumbered[i].oldId, renumbered[renumbered.size() - 1 - i].oldId);
    const bool following = crossed && history.beginRenumbering(renumbered);
    Transaction transaction(store.connection());
    moves::apply(store.connection(), plan);
    transaction.commit();
    if (following)
        history.finishRenumbering();
}

} // namespace quillet::test
