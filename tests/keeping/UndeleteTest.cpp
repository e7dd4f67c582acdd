#include "keeping/Deletions.h"
#include "keeping/History.h"
#include "keeping/Places.h"
#include "store/NoteStore.h"
#include "store/OutlineRowCheck.h"
#include "support/FileHistory.h"
#include "support/TestDatabase.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

namespace quillet {
namespace {

namespace fs = std::filesystem;

// The rows as "ID:key" in ID order.
std::string idsAndKeys(const std::string &path)
{
    return test::querySql(path, "SELECT group_concat(ID || ':' || Kleidi, ' ') FROM (SELECT * "
                                "FROM mynodes ORDER BY ID)");
}

// Every column of a row but its ID and key, each with its type.
std::string columnsOf(const std::string &path, std::int64_t id)
{
    return test::querySql(path, "SELECT quote(MyText) || quote(Keimeno) || quote(anoixto) || "
                                "quote(MegFonta) || quote(Grammatoseira) || quote(XromaFont) || "
                                "quote(XromaBack) || quote(FontaBold) || quote(FontaPlagia) "
                                "FROM mynodes WHERE ID = " +
                                    std::to_string(id));
}

bool outlineIsLawful(const std::string &path)
{
    NoteStore store(path);
    OutlineRowCheck check;
    bool whole = true;
    store.scanOutline([&](const OutlineRow &row) { whole &= check.check(row).problems.empty(); });
    return whole;
}

class UndeleteTest : public testing::Test
{
protected:
    // A, B (B1 with B11 below it, B2), C (C1), IDs 1 to 7; B1 and B11 with notes of every kind
    // and an earlier version each.
    void SetUp() override
    {
        test::createDatabase(path, {{"A", "Top"},
                                    {"B", "Beta"},
                                    {"B1", "b1"},
                                    {"B11", "b11"},
                                    {"B2", "b2"},
                                    {"C", "c"},
                                    {"C1", "c1"}});
        test::execSql(path, "UPDATE mynodes SET Keimeno = 'line\r\nbreak \xce\xb1', "
                            "MegFonta = 10.5, Grammatoseira = ' Arial ', FontaBold = 1, "
                            "anoixto = 1 WHERE Kleidi = 'B1';"
                            "UPDATE mynodes SET Keimeno = X'00FF', XromaBack = 'red' "
                            "WHERE Kleidi = 'B11'");
        NoteStore store(path);
        NoteHistory history(store);
        for (const char *key : {"B1", "B11"})
            ASSERT_TRUE(history.keep(*store.readRow(key), false, 1000));
        before = {columnsOf(path, 3), columnsOf(path, 4)};
    }

    std::string deleteWithCopy(const std::string &key, const std::string &itemPath = {})
    {
        NoteStore store(path);
        std::string copy;
        store.deleteSubtree(key, [&](const std::vector<archive::Row> &rows) {
            copy = deletions::keepCopy(path, key, rows, itemPath);
        });
        return copy;
    }

    deletions::Restored restore(const std::string &copy, const std::optional<std::string> &under)
    {
        NoteStore store(path);
        NoteHistory history(store);
        return deletions::restore(store, history, copy, under);
    }

    test::TempFolder folder;
    std::string path = folder.path("mydata.mdb");
    std::vector<std::string> before; // B1's and B11's columns
};

// Back where they were when that place is there; otherwise refused as a place taken, and put
// under the chosen item instead: new keys by the rule of adding, new IDs only when theirs are
// taken or come before the new parent's or siblings', the versions following the IDs.
TEST_F(UndeleteTest, ItemsGoBackWhereTheyWereOrUnderTheChosenItem)
{
    struct Case
    {
        const char *name;
        std::string arrange;              // SQL run after B1 is deleted
        bool placeTaken;                  // putting them back where they were is refused
        std::optional<std::string> under; // where they go; nothing: where they were
        std::string rows;
        std::int64_t b1, b11; // their IDs afterwards
    };
    const Case cases[] = {
        {"where they were", "", false, std::nullopt, "1:A 2:B 3:B1 4:B11 5:B2 6:C 7:C1", 3, 4},
        {"under an item without children, after it", "", false, "A",
         "1:A 2:B 3:A1 4:A11 5:B2 6:C 7:C1", 3, 4},
        {"under an item whose child came later", "", false, "C", "1:A 2:B 5:B2 6:C 7:C1 8:C2 9:C21",
         8, 9},
        {"the last top-level item", "", false, "", "1:A 2:B 5:B2 6:C 7:C1 8:D 9:D1", 8, 9},
        {"the parent gone", "DELETE FROM mynodes WHERE Kleidi LIKE 'B%'", true, "C",
         "1:A 6:C 7:C1 8:C2 9:C21", 8, 9},
        {"the parent made again",
         "DELETE FROM mynodes WHERE Kleidi LIKE 'B%'; INSERT INTO mynodes (Kleidi, MyText) "
         "VALUES ('B', 'again')",
         true, "B", "1:A 6:C 7:C1 8:B 9:B1 10:B11", 9, 10},
        {"its key taken", "INSERT INTO mynodes (Kleidi, MyText) VALUES ('B1', 'new')", true, "B",
         "1:A 2:B 5:B2 6:C 7:C1 8:B1 9:B3 10:B31", 9, 10},
        {"its ID taken", "INSERT INTO mynodes (ID, Kleidi, MyText) VALUES (3, 'D', 'new')", true,
         "A", "1:A 2:B 3:D 5:B2 6:C 7:C1 8:A1 9:A11", 8, 9},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(folder.path("history"));
        fs::remove_all(folder.path("deleted"));
        fs::remove(path);
        SetUp();
        const std::string copy = deleteWithCopy("B1", "Beta > b1");
        if (!c.arrange.empty())
            test::execSql(path, c.arrange);
        if (c.placeTaken) {
            const std::string bytes = test::fileBytes(path);
            EXPECT_THROW(restore(copy, std::nullopt), deletions::PlaceTaken);
            EXPECT_TRUE(test::fileBytes(path) == bytes);
        }
        const deletions::Restored done = restore(copy, c.under);
        EXPECT_EQ(idsAndKeys(path), c.rows);
        EXPECT_TRUE(outlineIsLawful(path));
        EXPECT_EQ(columnsOf(path, c.b1), before[0]);
        EXPECT_EQ(columnsOf(path, c.b11), before[1]);
        test::FileHistory history(path);
        EXPECT_EQ(history.versionsOf(c.b1).size(), 1u);
        EXPECT_EQ(history.versionsOf(c.b11).size(), 1u);
        if (c.under) {
            EXPECT_EQ(done.newIds, c.b1 != 3);
        }
        // The copy leaves the list, kept under a name that says it was put back.
        EXPECT_FALSE(fs::exists(copy));
        EXPECT_TRUE(fs::exists(places::restoredCopyFile(copy, 1)));
        EXPECT_TRUE(deletions::listCopies(path).empty());
    }
    // An item added afterwards takes an ID above every one given.
    NoteStore(path).insertItem("E", "new");
    EXPECT_EQ(test::querySql(path, "SELECT ID FROM mynodes WHERE Kleidi = 'E'"), "10");
}

// A key taken is found whatever form it is stored in (spaces around it, bytes rather than text),
// and so is the parent stored with spaces, under which the items go back.
TEST_F(UndeleteTest, AKeyTakenIsFoundWhateverFormItIsStoredIn)
{
    const std::pair<const char *, const char *> cases[] = {
        {"INSERT INTO mynodes (Kleidi, MyText) VALUES (' B1', 'x')", "The key \"B1\" is taken"},
        {"INSERT INTO mynodes (Kleidi, MyText) VALUES ('B1  ', 'x')", "The key \"B1\" is taken"},
        {"INSERT INTO mynodes (Kleidi, MyText) VALUES ('B11', 'x')", "The key \"B11\" is taken"},
        {"INSERT INTO mynodes (Kleidi, MyText) VALUES (CAST('B1' AS BLOB), 'x')",
         "The key \"B1\" is taken"},
        {"UPDATE mynodes SET Kleidi = ' B  ' WHERE Kleidi = 'B'", ""},
        {"UPDATE mynodes SET Kleidi = 'B ' WHERE Kleidi = 'B'", ""},
    };
    for (const auto &[arrange, taken] : cases) {
        SCOPED_TRACE(arrange);
        fs::remove_all(folder.path("history"));
        fs::remove_all(folder.path("deleted"));
        fs::remove(path);
        SetUp();
        const std::string copy = deleteWithCopy("B1");
        test::execSql(path, arrange);
        try {
            restore(copy, std::nullopt);
            EXPECT_EQ(std::string(taken), "");
            EXPECT_EQ(test::querySql(path, "SELECT group_concat(ID || ':' || Kleidi, ' ') FROM "
                                           "mynodes WHERE ID IN (3, 4)"),
                      "3:B1 4:B11");
        } catch (const deletions::PlaceTaken &refused) {
            EXPECT_NE(std::string(refused.what()).find(taken), std::string::npos) << refused.what();
            EXPECT_NE(std::string(taken), "");
        }
    }
}

// What cannot be done changes neither the database nor the copy's name.
TEST_F(UndeleteTest, RefusalsChangeNothing)
{
    std::string chain = "C1";
    std::string rows;
    while (chain.size() < 99) {
        chain += "1";
        rows += "('" + chain + "', 'deep'),";
    }
    for (char n = '1'; n <= '9'; ++n)
        rows += std::string("('A") + n + "', 'child'),";
    rows.pop_back();
    test::execSql(path, "INSERT INTO mynodes (Kleidi, MyText) VALUES " + rows);
    const std::string copy = deleteWithCopy("B1");
    const std::string unreadable = folder.path("deleted/20250101-000000-X.json");
    test::writeFile(unreadable, "{\"quillet-export\": 1, \"mynodes\": [");
    struct Case
    {
        const char *name;
        std::string copy;
        std::optional<std::string> under;
        std::string reason; // part of it
    };
    const Case cases[] = {
        {"a parent with nine items", copy, "A", "holds nine items"},
        {"a row past the hundredth level", copy, chain, "101 levels deep"},
        {"no such item", copy, "Q", "No item has the key \"Q\""},
        {"a copy that is not whole", unreadable, "C", "cannot be read"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string bytes = test::fileBytes(path);
        try {
            restore(c.copy, c.under);
            ADD_FAILURE() << "put back";
        } catch (const deletions::PlaceTaken &taken) {
            ADD_FAILURE() << "offered another place: " << taken.what();
        } catch (const std::runtime_error &error) {
            EXPECT_NE(std::string(error.what()).find(c.reason), std::string::npos) << error.what();
        }
        EXPECT_TRUE(test::fileBytes(path) == bytes);
        EXPECT_TRUE(fs::exists(c.copy));
    }
    // One level less is allowed: the deepest row on the hundredth level.
    const std::string again = folder.path("deleted/again.json");
    fs::copy_file(copy, again);
    restore(copy, chain.substr(0, 98));
    EXPECT_EQ(test::querySql(path, "SELECT max(length(Kleidi)) FROM mynodes"), "100");
    // Items put back are not put back twice, nor offered another place.
    test::execSql(path, "DELETE FROM mynodes WHERE length(Kleidi) = 100");
    fs::copy_file(again, copy);
    restore(copy, std::nullopt);
    fs::copy_file(again, copy);
    try {
        restore(copy, std::nullopt);
        ADD_FAILURE() << "put back twice";
    } catch (const deletions::PlaceTaken &taken) {
        ADD_FAILURE() << "offered another place: " << taken.what();
    } catch (const std::runtime_error &error) {
        EXPECT_NE(std::string(error.what()).find("in the outline already"), std::string::npos)
            << error.what();
    }
    EXPECT_TRUE(fs::exists(copy));
    // The second copy put back took the next name that says so.
    EXPECT_TRUE(fs::exists(places::restoredCopyFile(copy, 2)));
}

// The list: newest first by the time in the names, then by when written; each with the path
// it was deleted from (older copies hold none: their key and title serve), the number of items
// and the first line of the item's note. Copies put back, partial copies and other files are
// not listed; a copy that cannot be read is, with why.
TEST_F(UndeleteTest, TheListShowsEachCopyNewestFirst)
{
    const std::string newest = deleteWithCopy("B1", "Beta > \xff b1"); // a title not UTF-8
    const auto rowOf = [](const std::string &key, const std::string &title,
                          const std::string &note) {
        archive::Row row;
        row[0].setInteger(key.size());
        row[1].setText(key);
        row[2].setText(title);
        row[3].setText(note);
        for (std::size_t c = 4; c < row.size(); ++c)
            row[c].setInteger(0);
        return row;
    };
    const std::string deleted = places::deletedFolder(path) + "/";
    const auto write = [&](const std::string &name, const std::vector<archive::Row> &rows,
                           const std::string &itemPath, int age) {
        std::ostringstream out;
        archive::writeRows(rows, out, itemPath);
        test::writeFile(deleted + name, out.str());
        fs::last_write_time(deleted + name,
                            fs::file_time_type::clock::now() - std::chrono::seconds(age));
    };
    const std::string alphas(300, 'a');
    write("20250101-100000-B.json", {rowOf("B", "Beta", "first\nsecond"), rowOf("B1", "b1", "")},
          "", 0);
    // Written in the same second; B1 later, though its name sorts first.
    write("20250102-090000-C.json", {rowOf("C", "c", "\r\nsecond")}, "", 20);
    write("20250102-090000-B1.json", {rowOf("B11", "x", ""), rowOf("B1", "b1", alphas)},
          "Beta > b1", 10);
    write("20250103-000000-D.restored.json", {rowOf("D", "d", "")}, "", 0);
    write("20250103-000000-D.json.partial", {rowOf("D", "d", "")}, "", 0);
    write("notes.json", {rowOf("D", "d", "")}, "", 0);
    test::writeFile(deleted + "20250104-000000-E.json", "not JSON");

    struct Line
    {
        std::string name, when, itemPath, key, title;
        std::size_t items;
        std::string firstLine;
        bool readable;
    };
    const Line expected[] = {
        {fs::path(newest).filename().string(), "", "Beta > \xff b1", "B1", "b1", 2, "line", true},
        {"20250104-000000-E.json", "2025-01-04 00:00:00", "", "", "", 0, "", false},
        {"20250102-090000-B1.json", "2025-01-02 09:00:00", "Beta > b1", "B1", "b1", 2,
         std::string(200, 'a'), true},
        {"20250102-090000-C.json", "2025-01-02 09:00:00", "", "C", "c", 1, "", true},
        {"20250101-100000-B.json", "2025-01-01 10:00:00", "", "B", "Beta", 2, "first", true},
    };
    const std::vector<deletions::Copy> copies = deletions::listCopies(path);
    ASSERT_EQ(copies.size(), std::size(expected));
    for (std::size_t i = 0; i < copies.size(); ++i) {
        const deletions::Copy &copy = copies[i];
        const Line &line = expected[i];
        SCOPED_TRACE(line.name);
        EXPECT_EQ(fs::path(copy.file).filename().string(), line.name);
        if (!line.when.empty()) {
            EXPECT_EQ(copy.when, line.when);
        }
        EXPECT_EQ(copy.itemPath, line.itemPath);
        EXPECT_EQ(copy.key, line.key);
        EXPECT_EQ(copy.title, line.title);
        EXPECT_EQ(copy.items, line.items);
        EXPECT_EQ(copy.firstLine, line.firstLine);
        EXPECT_EQ(copy.problem.empty(), line.readable) << copy.problem;
    }
    // The path is kept beside the rows, which read as they did before copies held it.
    std::ifstream in(newest, std::ios::binary);
    const archive::Contents read = archive::read(in);
    EXPECT_EQ(read.path, "Beta > \xff b1");
    ASSERT_EQ(read.rows.size(), 2u);
    EXPECT_EQ(*read.rows[1][1].textView(), "B11");
}

} // namespace
} // namespace quillet
