#include "keeping/DurableFiles.h"

#include "support/RecordingFileOperations.h"
#include "support/TestDatabase.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sys/stat.h>

namespace quillet {
namespace {

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
    test::RecordingFileOperations files(base);
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
    test::RecordingFileOperations files(base);
    durable::makeFolder(base + "/deleted", 0700);
    durable::makeFolder(base + "/deleted", 0700);

    const std::vector<std::string> expected{"mkdir deleted", "open .", "fsync .", "close .",
                                            "mkdir deleted"};
    EXPECT_EQ(files.calls(), expected);
}

TEST_F(DurableFilesTest, ACopyIsSyncedBeforeItIsClosed)
{
    test::createEmptyDatabase(base + "/from.mdb");
    test::RecordingFileOperations files(base);
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
    test::RecordingFileOperations files(base);
    files.failSyncs();
    EXPECT_THROW(durable::writeFile(base + "/note.txt", "the text", 0600), std::system_error);
    EXPECT_FALSE(std::filesystem::exists(base + "/note.txt"));
    EXPECT_FALSE(std::filesystem::exists(base + "/note.txt.partial"));
    EXPECT_THROW(durable::sync(base), std::system_error);
}

} // namespace
} // namespace quillet
