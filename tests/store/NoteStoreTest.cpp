#include "store/NoteStore.h"

#include "support/TestDatabase.h"

#include <QDir>

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>

namespace quillet {
namespace {

using test::Row;

class NoteStoreTest : public testing::Test
{
protected:
    test::TempFolder folder;
    std::string path = folder.path("mydata.mdb");
};

// Each bad file is refused with a message that says what is wrong, and is left as it was.
TEST_F(NoteStoreTest, BadFilesAreRefusedAndLeftUnchanged)
{
    struct Case
    {
        const char *name;
        std::function<void(const std::string &)> make;
        const char *expected;
    };
    const std::vector<Case> cases = {
        {"missing", [](const std::string &) {}, "does not exist"},
        {"folder", [](const std::string &p) { ::mkdir(p.c_str(), 0700); }, "not a file"},
        {"empty", [](const std::string &p) { std::ofstream(p).flush(); }, "is empty"},
        {"text", [](const std::string &p) { std::ofstream(p) << "Dear diary,\n"; },
         "not a SQLite file"},
        {"foreign",
         [](const std::string &p) { test::execSql(p, "CREATE TABLE photos (id INTEGER)"); },
         "no table \"mynodes\""},
        {"no parame",
         [](const std::string &p) {
             test::createEmptyDatabase(p);
             test::execSql(p, "DROP TABLE parame");
         },
         "no table \"parame\""},
        {"no column",
         [](const std::string &p) {
             test::createEmptyDatabase(p);
             test::execSql(p, "ALTER TABLE mynodes DROP COLUMN FontaPlagia");
         },
         "no column \"FontaPlagia\""},
    };
    for (const Case &c : cases) {
        const std::string file = folder.path(std::string(c.name) + ".mdb");
        if (std::string(c.name) == "foreign")
            std::ofstream(file).flush(); // execSql opens an existing file only
        c.make(file);
        const std::string before = test::fileBytes(file);
        try {
            NoteStore store(file);
            ADD_FAILURE() << c.name << " opened";
        } catch (const DatabaseUnavailable &error) {
            EXPECT_NE(error.message().find(c.expected), std::string::npos)
                << c.name << ": " << error.message();
            EXPECT_EQ(error.path(), file);
        }
        EXPECT_EQ(test::fileBytes(file), before) << c.name;
    }
    // The store never creates the file it was asked to open.
    struct stat info
    {
    };
    EXPECT_NE(::stat(folder.path("missing.mdb").c_str(), &info), 0);
}

// A relative name that the engine could read as a URI or an in-memory database still means
// the file of that name.
TEST_F(NoteStoreTest, RelativeNamesAreFiles)
{
    const QString saved = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(folder.folder()));
    test::createDatabase(folder.path(":memory:"), {{"A", "from the file"}});
    {
        NoteStore store(":memory:");
        std::string title;
        store.scanOutline([&](const OutlineRow &row) { title = *row.title.toText(); });
        EXPECT_EQ(title, "from the file");
    }
    EXPECT_THROW(NoteStore("file:other.mdb?mode=memory"), DatabaseUnavailable);
    QDir::setCurrent(saved);
}

// Commits that survive a power cut: a rollback journal, and the folder synced after it goes. A
// file left in another journal mode (by another program) is taken back to the rollback journal.
TEST_F(NoteStoreTest, CommitsWithARollbackJournalAndTheFolderSyncedAfterIt)
{
    test::createDatabase(path, {{"A", "Top"}});
    test::execSql(path, "PRAGMA journal_mode=WAL");
    NoteStore store(path);
    Statement synchronous(store.connection(), "PRAGMA synchronous");
    ASSERT_TRUE(synchronous.step());
    EXPECT_EQ(synchronous.columnInt64(0), 3); // EXTRA
    Statement journal(store.connection(), "PRAGMA journal_mode");
    ASSERT_TRUE(journal.step());
    EXPECT_EQ(journal.columnText(0), "delete");
}

TEST_F(NoteStoreTest, OutlineScanFollowsIdOrder)
{
    test::createDatabase(path, {{"A", "first"}, {"B", "second", true}, {"A1", " child "}});
    NoteStore store(path);
    std::vector<std::string> seen;
    store.scanOutline([&](const OutlineRow &row) {
        seen.push_back(*row.key.toText() + "|" + *row.title.toText() + "|" +
                       (*row.expanded.toBool() ? "open" : "shut"));
    });
    EXPECT_EQ(seen, (std::vector<std::string>{"A|first|shut", "B|second|open", "A1| child |shut"}));
}

// The key is a bound value: quotes and SQL in it find no row and change nothing; letter case
// tells keys apart.
TEST_F(NoteStoreTest, ReadNoteMatchesTheExactKeyOnly)
{
    test::createDatabase(path, {{"A", "upper"}, {"a", "lower"}});
    test::execSql(path, "UPDATE mynodes SET Keimeno='big A', MegFonta=14 WHERE Kleidi='A'");
    NoteStore store(path);
    const std::optional<NoteRow> upper = store.readNote("A");
    ASSERT_TRUE(upper);
    EXPECT_EQ(upper->text.toText(), "big A");
    EXPECT_EQ(upper->fontSize.toDouble(), 14.0);
    EXPECT_TRUE(upper->fontName.isNull());
    ASSERT_TRUE(store.readNote("a"));
    EXPECT_EQ(store.readNote("a")->text.toText(), "");

    EXPECT_FALSE(store.readNote("A' OR '1'='1"));
    EXPECT_FALSE(store.readNote("'); DROP TABLE mynodes; --"));
    EXPECT_FALSE(store.readNote("A "));
    EXPECT_EQ(test::querySql(path, "SELECT count(*) FROM mynodes"), "2");
}

TEST_F(NoteStoreTest, SettingsLoadFillsOnlyThePositionsThatHaveRows)
{
    test::createEmptyDatabase(path);
    test::execSql(path, "INSERT INTO parame (timilo) VALUES (-120), (300), (2147483647)");
    NoteStore store(path);
    Settings settings;
    settings.at(4) = 99;
    store.loadSettings(settings);
    EXPECT_EQ(settings.at(1), -120);
    EXPECT_EQ(settings.at(2), 300);
    EXPECT_EQ(settings.at(3), 2147483647);
    EXPECT_EQ(settings.at(4), 99);
}

TEST_F(NoteStoreTest, SettingsLoadReadsThirtyRowsInIdOrder)
{
    test::createEmptyDatabase(path);
    std::string sql;
    // Inserted with descending IDs: the order of IDs, not of insertion, decides the position.
    for (int position = 30; position >= 1; --position)
        sql += "INSERT INTO parame (ID, timilo) VALUES (" + std::to_string(100 + position) + ", " +
               std::to_string(position * 1000) + ");";
    test::execSql(path, sql);
    NoteStore store(path);
    Settings settings;
    store.loadSettings(settings);
    for (int position = 1; position <= 30; ++position)
        EXPECT_EQ(settings.at(position), position * 1000);
}

TEST_F(NoteStoreTest, SettingsLoadFailsOnBadTables)
{
    struct Case
    {
        const char *sql;
        const char *expected;
        int filled; // positions filled before the failure
    };
    std::string thirtyOne;
    for (int i = 1; i <= 31; ++i)
        thirtyOne += "INSERT INTO parame (timilo) VALUES (" + std::to_string(i) + ");";
    const std::vector<Case> cases = {
        {"", "has no rows", 0},
        {"INSERT INTO parame (timilo) VALUES (5), (NULL)", "Row 2", 1},
        {"INSERT INTO parame (timilo) VALUES (5), (4294967296)", "Row 2", 1},
        {"INSERT INTO parame (timilo) VALUES ('wide')", "Row 1", 0},
        {thirtyOne.c_str(), "more than 30 rows", 30},
    };
    int n = 0;
    for (const Case &c : cases) {
        const std::string file = folder.path("settings" + std::to_string(++n) + ".mdb");
        test::createEmptyDatabase(file);
        if (*c.sql)
            test::execSql(file, c.sql);
        NoteStore store(file);
        Settings settings;
        try {
            store.loadSettings(settings);
            ADD_FAILURE() << c.expected;
        } catch (const StoreError &error) {
            EXPECT_NE(error.message().find(c.expected), std::string::npos) << error.message();
        }
        for (int position = 1; position <= 30; ++position)
            EXPECT_EQ(settings.at(position) != 0, position <= c.filled) << position;
    }
}

} // namespace
} // namespace quillet
