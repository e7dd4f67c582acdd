#include "keeping/DurableFiles.h"

#include "keeping/FileOperations.h"
#include "support/TestDatabase.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace quillet {
namespace {

// The operating system's calls, each recorded as one line naming the call and the file (by
// its name within the test's folder), with fsync failing on request.
class RecordingOperations final : public durable::FileOperations
{
public:
    explicit RecordingOperations(std::string folder)
        : m_folder(std::move(folder))
    {
        durable::useFileOperations(this);
    }
    ~RecordingOperations() override { durable::useFileOperations(nullptr); }

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

class DurableFilesTest : public testing::Test
{
protected:
    test::TempFolder folder;
    std::string base = folder.folder().toStdString();
};

// What makes a file durable is the order: its bytes synced before it takes its name, and its
// folder synced after, so that the name is on the disk too. Every call goes through the seam.
TEST_F(DurableFilesTest, AFileIsSyncedBeforeItTakesItsNameAndItsFolderAfter)
{
    RecordingOperations files(base);
    durable::writeFile(base + "/note.txt", "the text", 0600);

    // A ".partial" in the way is refused, not removed: no unlink comes first.
    const std::vector<std::string> expected{"create note.txt.partial",
                                            "write note.txt.partial",
                                            "fsync note.txt.partial",
                                            "close note.txt.partial",
                                            "rename note.txt.partial note.txt",
                                            "open .",
                                            "fsync .",
                                            "close ."};
    EXPECT_EQ(files.calls(), expected);
    EXPECT_EQ(test::fileBytes(base + "/note.txt"), "the text");
}

// A new folder's name is in the folder above it, which must be synced for the name to last.
TEST_F(DurableFilesTest, ANewFolderIsSyncedIntoTheFolderItIsIn)
{
    RecordingOperations files(base);
    durable::makeFolder(base + "/deleted", 0700);
    durable::makeFolder(base + "/deleted", 0700);

    const std::vector<std::string> expected{"mkdir deleted", "open .", "fsync .", "close .",
                                            "mkdir deleted"};
    EXPECT_EQ(files.calls(), expected);
}

TEST_F(DurableFilesTest, ACopyIsSyncedBeforeItIsClosed)
{
    test::createEmptyDatabase(base + "/from.mdb");
    RecordingOperations files(base);
    durable::copyFile(base + "/from.mdb", base + "/to.mdb", 0600);

    const std::vector<std::string> &calls = files.calls();
    const auto at = [&](const std::string &call) {
        return std::find(calls.begin(), calls.end(), call) - calls.begin();
    };
    ASSERT_LT(at("close to.mdb"), static_cast<std::ptrdiff_t>(calls.size()));
    EXPECT_LT(at("open from.mdb"), at("create to.mdb"));
    EXPECT_LT(at("create to.mdb"), at("fsync to.mdb"));
    EXPECT_LT(at("fsync to.mdb"), at("close to.mdb"));
    EXPECT_EQ(test::fileBytes(base + "/to.mdb"), test::fileBytes(base + "/from.mdb"));
}

// A sync the disk refuses is a write that did not happen: no file under the final name.
TEST_F(DurableFilesTest, AFailedSyncLeavesNoFileAndSaysSo)
{
    RecordingOperations files(base);
    files.failSyncs();
    EXPECT_THROW(durable::writeFile(base + "/note.txt", "the text", 0600), std::system_error);
    EXPECT_FALSE(std::filesystem::exists(base + "/note.txt"));
    EXPECT_FALSE(std::filesystem::exists(base + "/note.txt.partial"));
    EXPECT_THROW(durable::sync(base), std::system_error);
}

} // namespace
} // namespace quillet
