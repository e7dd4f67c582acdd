// A reader killed with a backup open: what it leaves beside the copy.

#include "faults/crash/ChildProcess.h"
#include "keeping/Backups.h"
#include "keeping/History.h"
#include "keeping/Places.h"
#include "store/NoteStore.h"
#include "support/FileHistory.h"
#include "support/TestDatabase.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace quillet::crashtest {
namespace {

using namespace std::chrono_literals;

// A backup and its copy of the history are each one whole file, in the notes' own rollback
// journal mode: a reader killed while it has one open (quillet-db history on a backup, a
// restore's check) leaves no log or index beside it, and the copy reads as it did. A copy left
// written ahead in a log would grow both at its first reader and keep them after a kill.
TEST(faultsKilledReader, ABackupAndItsHistoryCopyAreWholeFilesAKilledReaderLeavesAlone)
{
    test::TempFolder folder;
    const std::string path = folder.path("mydata.mdb");
    test::createDatabase(path, {{"A", "Top"}, {"A1", "One"}, {"B", "Two"}});
    {
        NoteStore store(path);
        NoteHistory history(store);
        for (const char *key : {"A", "A1", "B"})
            ASSERT_TRUE(history.keep(*store.readRow(key), false, 1000));
    }
    const std::string backup = backups::make(path).file;
    const std::string copy = places::historyBackupFile(path, backup);
    for (const std::string &file : {backup, copy}) {
        SCOPED_TRACE(file);
        const std::string before = test::fileBytes(file);
        // The header's read and write versions: 1 for a rollback journal, 2 for a log.
        ASSERT_GT(before.size(), 20u);
        EXPECT_EQ(before[18], 1);
        EXPECT_EQ(before[19], 1);
        ChildProcess reader({QUILLET_CRASH_WRITER, "read", file});
        std::string said;
        const ChildProcess::Stop stop =
            reader.readLines(ChildProcess::Clock::now() + 60s, [&](std::string_view line) {
                said = line;
                return true;
            });
        ASSERT_EQ(stop, ChildProcess::Stop::Done);
        ASSERT_TRUE(said.starts_with("ready ")) << said;
        EXPECT_NE(said, "ready 0");
        reader.kill();
        reader.wait();
        for (const char *beside : {"-wal", "-shm", "-journal"})
            EXPECT_FALSE(std::filesystem::exists(file + beside)) << beside;
        EXPECT_TRUE(test::fileBytes(file) == before);
    }
}

} // namespace
} // namespace quillet::crashtest
