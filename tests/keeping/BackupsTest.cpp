#include "keeping/Backups.h"

#include "keeping/History.h"
#include "keeping/InUseLock.h"
#include "keeping/Places.h"
#include "store/NoteStore.h"
#include "support/TestDatabase.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/file.h>
#include <unistd.h>

namespace quillet {
namespace {

namespace fs = std::filesystem;

class BackupsTest : public testing::Test
{
protected:
    void SetUp() override
    {
        // Notes long enough to spread the file over many pages.
        test::createDatabase(path, {{"A", "Top"}, {"A1", "One"}, {"B", "Two"}});
        test::execSql(path, "UPDATE mynodes SET Keimeno = hex(randomblob(6000))");
    }

    // Writes junk over one page in the middle of the file, as a failing disk might.
    void damage()
    {
        std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(4 * 4096);
        file << std::string(4096, '\xAB');
    }

    std::vector<std::string> filesIn(const std::string &name)
    {
        std::vector<std::string> names;
        for (const auto &entry : std::filesystem::directory_iterator(folder.path(name)))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    test::TempFolder folder;
    std::string path = folder.path("mydata.mdb");
};

TEST_F(BackupsTest, KeepsTheNewestCopiesAndNeverBacksUpDamageOverThem)
{
    EXPECT_TRUE(backups::due(path));
    std::vector<std::string> made;
    for (int i = 0; i < 3; ++i)
        made.push_back(backups::make(path, 2).file);
    EXPECT_FALSE(backups::due(path)); // one was made today
    // Backups in the same second are numbered, and the oldest beyond two is gone.
    EXPECT_EQ(backups::list(path), std::vector<std::string>(made.begin() + 1, made.end()));
    EXPECT_EQ(test::querySql(made.back(), "SELECT count(*) FROM mynodes"), "3");

    damage();
    EXPECT_THROW(backups::make(path, 1), std::runtime_error);
    EXPECT_EQ(backups::list(path), std::vector<std::string>(made.begin() + 1, made.end()));
    for (const std::string &backup : backups::list(path))
        EXPECT_EQ(backups::problemsOf(backup), "") << backup;
    EXPECT_EQ(filesIn("backups").size(), 2u); // no partial copy left behind
}

// A file where the backups' folder should be is said as what it is.
TEST_F(BackupsTest, AFileInThePlaceOfTheFolderIsSaidAsSuch)
{
    std::ofstream(folder.path("backups")) << "not a folder";
    try {
        backups::make(path);
        ADD_FAILURE() << "a backup was made";
    } catch (const std::exception &error) {
        EXPECT_NE(std::string(error.what()).find("cannot be made, because a file has its name"),
                  std::string::npos)
            << error.what();
    }
}

// Once a day, and only when the file changed: ten changes on one busy day make one backup, not
// ten that would push every older copy out.
TEST_F(BackupsTest, ABackupIsDueOnceADayAndOnlyAfterAChange)
{
    EXPECT_TRUE(backups::due(path));
    backups::make(path);
    const auto now = std::chrono::system_clock::now();
    const auto dayLater = now + std::chrono::hours(24) + std::chrono::minutes(1);
    EXPECT_FALSE(backups::due(path, dayLater)); // a day later, but nothing changed
    // A change: the file's time moves past the backup's.
    std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) +
                                               std::chrono::seconds(5));
    EXPECT_FALSE(backups::due(path, now));
    EXPECT_FALSE(backups::due(path, now + std::chrono::hours(23)));
    EXPECT_TRUE(backups::due(path, dayLater));
}

// Restore refuses while an interrupted change waits in the journal beside the file (the
// engine would roll it into the restored copy), and changes nothing.
TEST_F(BackupsTest, RestoreRefusesBesideAJournal)
{
    const std::string backup = backups::make(path).file;
    std::ofstream(path + "-journal") << "an interrupted change";
    const std::string before = test::fileBytes(path);
    try {
        backups::restore(backup, path);
        ADD_FAILURE() << "restored beside a journal";
    } catch (const std::runtime_error &error) {
        EXPECT_NE(std::string(error.what()).find("journal"), std::string::npos) << error.what();
    }
    EXPECT_TRUE(test::fileBytes(path) == before);
    EXPECT_EQ(test::fileBytes(path + "-journal"), "an interrupted change");
}

// A backup leaves its copies and nothing else, and clears what one killed part-way left, but
// never what a backup under way holds.
TEST_F(BackupsTest, BackupsLeaveNoLitterAndClearWhatAKilledOneLeft)
{
    {
        NoteStore store(path);
        ASSERT_TRUE(NoteHistory(store).keep(*store.readRow("A"), false, 1000));
    }
    const std::string first = backups::make(path).file;
    const std::string history = places::historyBackupFile(path, first);
    const auto name = [](const std::string &file) {
        return fs::path(file).filename().string();
    };
    EXPECT_EQ(filesIn("backups"), (std::vector<std::string>{name(first), name(history)}));

    const std::string killed = folder.path("backups/mydata-20200101-000000.mdb.partial");
    const std::string killedHistory = folder.path("backups/mydata-history-20200101-000000.db");
    const std::string underWay = folder.path("backups/mydata-20200101-000001.mdb.partial");
    for (const std::string &left : {killed, killed + "-journal", killedHistory + ".partial-wal",
                                    killedHistory + ".partial-shm", underWay})
        std::ofstream(left) << "left";
    const int held = ::open(underWay.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    const std::string second = backups::make(path).file;
    ::close(held);
    std::vector<std::string> expected{name(underWay), name(first), name(history), name(second),
                                      name(places::historyBackupFile(path, second))};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(filesIn("backups"), expected);
}

TEST_F(BackupsTest, AStoppedBackupLeavesNoFileWithABackupsName)
{
    const std::atomic<bool> stop{true};
    EXPECT_THROW(backups::make(path, 10, &stop), std::runtime_error);
    EXPECT_TRUE(backups::list(path).empty());
    EXPECT_TRUE(filesIn("backups").empty());
}

TEST_F(BackupsTest, RestoreWaitsForTheProgramAndKeepsTheFileItReplaces)
{
    const std::string backup = backups::make(path).file;
    test::execSql(path, "UPDATE mynodes SET MyText = 'changed since'");
    const std::string current = test::fileBytes(path);
    {
        const InUseLock open(path);
        EXPECT_TRUE(isInUse(path));
        EXPECT_THROW(backups::restore(backup, path), std::runtime_error);
        EXPECT_TRUE(test::fileBytes(path) == current);
    }
    EXPECT_FALSE(isInUse(path));

    // A backup that does not pass its check is not put in the database's place.
    const std::string bad = folder.path("bad.mdb");
    std::ofstream(bad) << "not a database";
    EXPECT_THROW(backups::restore(bad, path), std::runtime_error);
    EXPECT_TRUE(test::fileBytes(path) == current);

    const std::string kept = backups::restore(backup, path).kept;
    EXPECT_TRUE(test::fileBytes(kept) == current);
    EXPECT_TRUE(test::fileBytes(path) == test::fileBytes(backup));
    EXPECT_EQ(test::querySql(path, "SELECT MyText FROM mynodes WHERE Kleidi = 'A'"), "Top");
}

} // namespace
} // namespace quillet
