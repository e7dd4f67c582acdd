#pragma once

#include "keeping/FileOperations.h"
#include "store/MovePlan.h"

#include <string>

namespace quillet {
class NoteHistory;
class NoteStore;
} // namespace quillet

// Ways of writing broken on purpose, for the power-cut test to show that it finds what it is
// there to find.
namespace quillet::test {

// Does everything the disk's file operations do, except syncing a folder.
class FolderSyncSkipping final : public durable::FileOperations
{
public:
    explicit FolderSyncSkipping(durable::FileOperations &files)
        : m_files(files)
    {
    }

    int open(const char *path, int flags, mode_t mode) override;
    ssize_t write(int fd, const void *data, std::size_t size) override;
    int fsync(int fd) override;
    int close(int fd) override;
    int rename(const char *from, const char *to) override;
    int link(const char *from, const char *to) override;
    int unlink(const char *path) override;
    int mkdir(const char *path, mode_t mode) override;

private:
    durable::FileOperations &m_files;
};

// Moves the item in the notes as moving::move does, but its rows' versions do not follow
// (crossed false: they stay under the old IDs) or follow each other's rows (crossed: the rows
// that take new IDs are given them in reverse).
void moveBroken(NoteStore &store, NoteHistory &history, const std::string &key,
                const moves::Place &place, bool crossed);

} // namespace quillet::test
