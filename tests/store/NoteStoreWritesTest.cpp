#include "store/NoteStore.h"
#include "support/TestDatabase.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>

namespace quillet {
namespace {

class NoteStoreWritesTest : public testing::Test
{
protected:
    std::string keys()
    {
        std::string all;
        store->scanOutline([&](const OutlineRow &row) { all += *row.key.toText() + " "; });
        return all;
    }

    test::TempFolder folder;
    std::string path = folder.path("mydata.mdb");
    std::unique_ptr<NoteStore> store;
};

TEST_F(NoteStoreWritesTest, TextAndTitleGoToTheRowOfTheExactKey)
{
    test::createDatabase(path, {{"A", "upper"}, {"a", "lower"}});
    store = std::make_unique<NoteStore>(path);
    store->saveText("a", "line one\nline two\t");
    store->rename("A", "  spaced  ");
    EXPECT_EQ(test::querySql(path, "SELECT Keimeno FROM mynodes WHERE Kleidi='a'"),
              "line one\nline two\t");
    EXPECT_EQ(test::querySql(path, "SELECT Keimeno FROM mynodes WHERE Kleidi='A'"), "");
    EXPECT_EQ(test::querySql(path, "SELECT MyText FROM mynodes WHERE Kleidi='A'"), "  spaced  ");
    EXPECT_EQ(test::querySql(path, "SELECT MyText FROM mynodes WHERE Kleidi='a'"), "lower");

    // Empty text is stored as empty text, not as Null.
    store->saveText("A", std::string_view());
    EXPECT_EQ(test::querySql(path, "SELECT quote(Keimeno) FROM mynodes WHERE Kleidi='A'"), "''");

    // A key without a row is an error, not a silent success.
    EXPECT_THROW(store->saveText("B", "lost?"), StoreError);
    EXPECT_THROW(store->rename("B", "lost?"), StoreError);
}

TEST_F(NoteStoreWritesTest, InsertedRowsComeLastWithDefaults)
{
    test::createDatabase(path, {{"A", "a"}, {"B", "b"}});
    test::execSql(path, "DELETE FROM mynodes WHERE Kleidi='B'");
    store = std::make_unique<NoteStore>(path);
    store->insertItem("A1", "New Item #1");
    EXPECT_EQ(keys(), "A A1 ");
    // AUTOINCREMENT: the new row's ID is above every ID ever used, also a deleted one.
    EXPECT_EQ(test::querySql(path, "SELECT ID FROM mynodes WHERE Kleidi='A1'"), "3");
    EXPECT_EQ(test::querySql(path, "SELECT anoixto || MegFonta || FontaBold || FontaPlagia || "
                                   "quote(Keimeno) FROM mynodes WHERE Kleidi='A1'"),
              "00.000''");

    // A key taken already is refused in plain words; the engine's own text stays out of it.
    try {
        store->insertItem("A1", "again");
        ADD_FAILURE() << "a second A1 was stored";
    } catch (const KeyTaken &error) {
        EXPECT_EQ(error.message(), "The key \"A1\" is already taken by another row.");
    }
    EXPECT_EQ(keys(), "A A1 ");
}

TEST_F(NoteStoreWritesTest, SubtreeDeletionRemovesTheItemAndItsDescendantsOnly)
{
    test::createDatabase(path, {{"A", ""},
                                {"B", ""},
                                {"A1", ""},
                                {"B1", ""},
                                {"B11", ""},
                                {"C", ""},
                                {"B2", ""},
                                {"C1", ""},
                                {"B21", ""}});
    test::execSql(path, "UPDATE mynodes SET Kleidi='B12 ' WHERE Kleidi='B11';"
                        "UPDATE mynodes SET Kleidi=' B2' WHERE Kleidi='B2'");
    store = std::make_unique<NoteStore>(path);
    // B, B1, "B12 " and " B2" (stored keys with surrounding spaces), and B21.
    EXPECT_EQ(store->deleteSubtree("B"), 5);
    EXPECT_EQ(keys(), "A A1 C C1 ");
    EXPECT_EQ(store->deleteSubtree(""), 0);
    EXPECT_EQ(keys(), "A A1 C C1 ");
    // "C1" is a prefix only of itself: its parent stays.
    EXPECT_EQ(store->deleteSubtree("C1"), 1);
    EXPECT_EQ(keys(), "A A1 C ");
}

// A multi-row write that fails part-way keeps what it wrote before the failure and says so.
TEST_F(NoteStoreWritesTest, ExpandedFlagsBeyondTheLastRowFailAfterStoringTheRest)
{
    test::createDatabase(path, {{"A", ""}, {"B", ""}, {"C", ""}});
    store = std::make_unique<NoteStore>(path);
    store->storeExpanded({true, false});
    EXPECT_EQ(test::querySql(path, "SELECT group_concat(anoixto, '') FROM mynodes"), "100");
    EXPECT_THROW(store->storeExpanded({false, true, true, true}), StoreError);
    EXPECT_EQ(test::querySql(path, "SELECT group_concat(anoixto, '') FROM mynodes"), "011");
}

TEST_F(NoteStoreWritesTest, SettingsAreWrittenRowByRowUpToThirty)
{
    test::createDatabase(path, {{"A", ""}});
    store = std::make_unique<NoteStore>(path);
    Settings settings;
    for (int position = 1; position <= 30; ++position)
        settings.at(position) = position * 10 - 150;
    store->storeSettings(settings);
    Settings back;
    store->loadSettings(back);
    for (int position = 1; position <= 30; ++position)
        EXPECT_EQ(back.at(position), position * 10 - 150);

    test::execSql(path, "INSERT INTO parame (timilo) VALUES (777)");
    settings.at(30) = 5;
    EXPECT_THROW(store->storeSettings(settings), StoreError);
    EXPECT_EQ(test::querySql(path, "SELECT timilo FROM parame ORDER BY ID LIMIT 1 OFFSET 29"), "5");
    EXPECT_EQ(test::querySql(path, "SELECT timilo FROM parame ORDER BY ID DESC LIMIT 1"), "777");
}

} // namespace
} // namespace quillet

namespace quillet {
namespace {

// An engine error part-way through a multi-row write rolls the whole write back; only a fault
// in the data (code 0) keeps the rows written before it. The error here is the engine's own,
// at one statement: a CHECK constraint that another program put on the tables refuses a row
// in the middle. (A damaged page is no such test: after it the engine refuses to commit at
// all.)
TEST(NoteStoreEngineErrorTest, AnEngineErrorPartWayRollsTheWholeWriteBack)
{
    test::TempFolder folder;
    const std::string path = folder.path("mydata.mdb");
    test::createForeignDatabase(path);
    test::execSql(path,
                  "CREATE TABLE m2 (ID INTEGER PRIMARY KEY, Kleidi TEXT, MyText TEXT, Keimeno TEXT,"
                  " anoixto INTEGER CHECK (anoixto = 0 OR ID < 4), MegFonta REAL, Grammatoseira"
                  " TEXT, XromaFont INTEGER, XromaBack INTEGER, FontaBold INTEGER, FontaPlagia"
                  " INTEGER);"
                  "INSERT INTO m2 SELECT * FROM mynodes; DROP TABLE mynodes;"
                  "ALTER TABLE m2 RENAME TO mynodes;"
                  "INSERT INTO mynodes (ID, Kleidi, MyText, anoixto) VALUES (2, 'B', 'b', 0),"
                  " (3, 'C', 'c', 0), (4, 'D', 'd', 0), (5, 'E', 'e', 0);"
                  "CREATE TABLE p2 (ID INTEGER PRIMARY KEY, timilo INTEGER CHECK (ID < 10 OR"
                  " timilo = 0)); INSERT INTO p2 SELECT * FROM parame; DROP TABLE parame;"
                  "ALTER TABLE p2 RENAME TO parame;");
    const std::string before = test::fileBytes(path);
    NoteStore store(path);
    Settings settings;
    for (int position = 1; position <= Settings::kCount; ++position)
        settings.at(position) = position;
    const std::pair<const char *, std::function<void()>> writes[] = {
        {"the expanded flags",
         [&] {
             store.storeExpanded({true, true, true, true, true});
         }},
        {"the settings",
         [&] {
             store.storeSettings(settings);
         }},
    };
    for (const auto &[what, write] : writes) {
        try {
            write();
            ADD_FAILURE() << what << ": the constraint did not refuse";
        } catch (const StoreError &error) {
            EXPECT_NE(error.code(), 0) << what;
        }
        EXPECT_TRUE(test::fileBytes(path) == before) << what;
    }
}

} // namespace
} // namespace quillet
