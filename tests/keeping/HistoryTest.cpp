#include "keeping/History.h"

#include "keeping/Backups.h"
#include "keeping/Places.h"
#include "store/NoteStore.h"
#include "support/FileHistory.h"
#include "support/TestDatabase.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>

namespace quillet {
namespace {

class HistoryTest : public testing::Test
{
protected:
    void SetUp() override { test::createDatabase(path, {{"A", "Top"}, {"B", "Second"}}); }

    StoredRow rowOf(const std::string &key)
    {
        NoteStore store(path);
        return *store.readRow(key);
    }

    // A local time: the year, month and day, and the hour.
    static std::int64_t at(int year, int month, int day, int hour = 12)
    {
        std::tm local{};
        local.tm_year = year - 1900;
        local.tm_mon = month - 1;
        local.tm_mday = day;
        local.tm_hour = hour;
        local.tm_isdst = -1;
        return static_cast<std::int64_t>(std::mktime(&local));
    }

    test::TempFolder folder;
    std::string path = folder.path("mydata.mdb");
};

// A version keeps the note's bytes and type exactly: text that is not UTF-8 and blobs.
TEST_F(HistoryTest, AVersionKeepsTheNotesBytes)
{
    test::execSql(path, "UPDATE mynodes SET Keimeno = CAST(X'CAE1EBE7' AS TEXT) WHERE Kleidi='A';"
                        "UPDATE mynodes SET Keimeno = X'00FF' WHERE Kleidi='B'");
    test::FileHistory history(path);
    EXPECT_FALSE(history.exists());
    ASSERT_TRUE(history.keep(rowOf("A"), false, 1000));
    ASSERT_TRUE(history.keep(rowOf("B"), false, 1000));
    const std::vector<NoteVersion> a = history.versionsOf(1);
    ASSERT_EQ(a.size(), 1u);
    EXPECT_EQ(a[0].row[3].type(), Value::Type::Text);
    EXPECT_EQ(*a[0].row[3].textView(), "\xCA\xE1\xEB\xE7");
    const std::vector<NoteVersion> b = history.versionsOf(2);
    ASSERT_EQ(b.size(), 1u);
    EXPECT_EQ(b[0].row[3].type(), Value::Type::Blob);
    EXPECT_EQ(*b[0].row[3].textView(), std::string("\0\xFF", 2));
    EXPECT_TRUE(std::filesystem::exists(places::historyFile(path)));
}

// Pruning keeps a week whole, one version a day to 90 days, one a month before that, and 200 a
// note at the most; a title's versions are counted apart from the note's.
TEST_F(HistoryTest, PruningKeepsWhatEachAgeCallsFor)
{
    const std::int64_t now = at(2026, 12, 7);
    const std::int64_t day = 24 * 3600;
    const StoredRow a = rowOf("A");
    test::FileHistory history(path);
    const std::vector<std::int64_t> kept = {
        now - 3 * day,       now - 3 * day + 60,   // within the week: both stay
        at(2026, 11, 20, 9), at(2026, 11, 20, 18), // one day of the daily period: the later stays
        at(2026, 11, 21, 9),                       // another day: stays
        at(2026, 8, 10),     at(2026, 8, 25),      // one month past 90 days: the later stays
        at(2026, 7, 3),                            // another month: stays
    };
    for (const std::int64_t time : kept)
        ASSERT_TRUE(history.keep(a, false, time));
    ASSERT_TRUE(history.keep(a, true, at(2026, 11, 20, 10))); // a title version, apart
    EXPECT_EQ(history.prune(now), 2);
    std::vector<std::int64_t> left;
    for (const NoteVersion &version : history.versionsOf(1))
        if (!version.titleOnly)
            left.push_back(version.keptAt);
    EXPECT_EQ(left,
              (std::vector<std::int64_t>{now - 3 * day + 60, now - 3 * day, at(2026, 11, 21, 9),
                                         at(2026, 11, 20, 18), at(2026, 8, 25), at(2026, 7, 3)}));

    // 205 versions within the week: the oldest 5 go.
    test::createDatabase(folder.path("many.mdb"), {{"A", "Top"}});
    test::FileHistory many(folder.path("many.mdb"));
    for (int i = 0; i < 205; ++i)
        ASSERT_TRUE(many.keep(a, false, now - 1000 + i));
    EXPECT_EQ(many.prune(now), 5);
    const std::vector<NoteVersion> versions = many.versionsOf(1);
    ASSERT_EQ(versions.size(), 200u);
    EXPECT_EQ(versions.back().keptAt, now - 1000 + 5);
}

// The daily backup copies the history with the notes, checked, under the backup's own date and
// time; restore puts it back with them, keeping the one it replaces.
TEST_F(HistoryTest, TheHistoryGoesWithTheBackupAndComesBackWithTheRestore)
{
    test::FileHistory history(path);
    ASSERT_TRUE(history.keep(rowOf("A"), false, 1000));
    const backups::Made made = backups::make(path);
    const std::string copy = places::historyBackupFile(path, made.file);
    ASSERT_TRUE(std::filesystem::exists(copy)) << copy;
    EXPECT_EQ(test::querySql(copy, "PRAGMA integrity_check"), "ok");
    EXPECT_EQ(test::querySql(copy, "SELECT count(*) FROM versions"), "1");

    ASSERT_TRUE(history.keep(rowOf("B"), false, 2000));
    EXPECT_EQ(history.versionsOf(2).size(), 1u);
    backups::restore(made.file, path);
    test::FileHistory restored(path);
    EXPECT_EQ(restored.versionsOf(1).size(), 1u);
    EXPECT_TRUE(restored.versionsOf(2).empty());

    // A backup rotated away takes its history copy with it: the old texts do not stay behind.
    const std::string second = backups::make(path, 2).file;
    const backups::Made third = backups::make(path, 2);
    EXPECT_EQ(third.removed, std::vector<std::string>{made.file});
    EXPECT_FALSE(std::filesystem::exists(copy));
    EXPECT_TRUE(std::filesystem::exists(places::historyBackupFile(path, second)));
    EXPECT_TRUE(std::filesystem::exists(places::historyBackupFile(path, third.file)));
}

} // namespace
} // namespace quillet
