#include "keeping/History.h"
#include "keeping/MovesWithVersions.h"
#include "store/NoteStore.h"
#include "store/OutlineRowCheck.h"
#include "support/FileHistory.h"
#include "support/TestDatabase.h"

#include <gtest/gtest.h>

#include <sstream>

namespace quillet {
namespace {

using Kind = moves::Place::Kind;

// The rows as "ID:key" in ID order.
std::string rowsOf(const std::string &path)
{
    return test::querySql(path, "SELECT group_concat(ID || ':' || Kleidi, ' ') FROM (SELECT * "
                                "FROM mynodes ORDER BY ID)");
}

// Whether every row joins the outline by the rule the program loads it with.
bool loadsWhole(const std::string &path)
{
    NoteStore store(path);
    OutlineRowCheck check;
    bool whole = true;
    store.scanOutline([&](const OutlineRow &row) { whole &= check.check(row).problems.empty(); });
    return whole;
}

const std::vector<test::Row> kOutline{{"A", "a"},   {"B", "b"}, {"B1", "b1"}, {"B11", "b11"},
                                      {"B2", "b2"}, {"C", "c"}, {"C1", "c1"}, {"D", "d"}};

// Each move against the rows it leaves: new keys by the numbering rule where the parent
// changes, new IDs only for the siblings that must come after the ones that keep theirs.
TEST(MovingTest, EachPlaceGivesTheRowsAndKeysOfItsOrder)
{
    struct Case
    {
        const char *name;
        std::string key;
        moves::Place place;
        std::string rows;    // after the move, or empty when refused
        std::string refusal; // part of the reason
    };
    const Case cases[] = {
        {"up: before the sibling above",
         "B2",
         {Kind::Before, "B1"},
         "1:A 2:B 5:B2 6:C 7:C1 8:D 9:B1 10:B11",
         ""},
        {"down: after the sibling below",
         "B1",
         {Kind::After, "B2"},
         "1:A 2:B 5:B2 6:C 7:C1 8:D 9:B1 10:B11",
         ""},
        {"out: after its parent",
         "C1",
         {Kind::After, "C"},
         "1:A 2:B 3:B1 4:B11 5:B2 6:C 7:E 8:D",
         ""},
        {"in: under the sibling above",
         "D",
         {Kind::Under, "C"},
         "1:A 2:B 3:B1 4:B11 5:B2 6:C 7:C1 8:C2",
         ""},
        {"to: under an item after it",
         "B",
         {Kind::Under, "D"},
         "1:A 6:C 7:C1 8:D 9:D1 10:D11 11:D111 12:D12",
         ""},
        {"top: the last top-level item",
         "C",
         {Kind::Top, ""},
         "1:A 2:B 3:B1 4:B11 5:B2 8:D 9:C 10:C1",
         ""},
        {"after the last sibling, where it is",
         "B11",
         {Kind::After, "B2"},
         "1:A 2:B 3:B1 5:B2 6:C 7:C1 8:D 9:B3",
         ""},
        {"the first item", "A", {Kind::Under, "D"}, "", "\"A\", stays"},
        {"before the first item", "C", {Kind::Before, "A"}, "", "before the first item"},
        {"into its own subtree", "B", {Kind::Under, "B11"}, "", "its own subtree"},
        {"beside itself", "B", {Kind::After, "B"}, "", "beside itself"},
        {"to no item", "B", {Kind::Under, "Q"}, "", "No item has the key \"Q\""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        test::TempFolder folder;
        const std::string path = folder.path("mydata.mdb");
        test::createDatabase(path, kOutline);
        const std::string before = rowsOf(path);
        NoteStore store(path);
        NoteHistory history(store);
        try {
            moving::move(store, history, c.key, c.place);
            EXPECT_EQ(rowsOf(path), c.rows);
            EXPECT_TRUE(loadsWhole(path));
        } catch (const moves::MoveRefused &refused) {
            EXPECT_TRUE(c.rows.empty()) << refused.what();
            EXPECT_NE(std::string(refused.what()).find(c.refusal), std::string::npos)
                << refused.what();
            EXPECT_EQ(rowsOf(path), before);
        }
    }
}

// The limits: a parent with nine items takes no tenth, though one already among them moves
// freely; the deepest row may reach the hundredth level and no further.
TEST(MovingTest, AFullParentAndTheDepthLimitRefuseAndChangeNothing)
{
    test::TempFolder folder;
    const std::string path = folder.path("mydata.mdb");
    std::vector<test::Row> rows{{"A", "a"}, {"B", "b"}};
    for (char n = '1'; n <= '9'; ++n)
        rows.push_back({std::string("A") + n, "child"});
    // A chain down to level 99 under B, and C with a child: moved under the chain's end, C's
    // child would land on level 101; under the level above it, on 100.
    std::string chain = "B";
    while (chain.size() < 99) {
        chain += "1";
        rows.push_back({chain, "deep"});
    }
    rows.push_back({"C", "c"});
    rows.push_back({"C1", "c1"});
    test::createDatabase(path, rows);
    NoteStore store(path);
    NoteHistory history(store);
    const std::string before = rowsOf(path);
    EXPECT_THROW(moving::move(store, history, "B", {Kind::Under, "A"}), moves::MoveRefused);
    EXPECT_EQ(rowsOf(path), before);
    EXPECT_NO_THROW(moving::move(store, history, "A9", {Kind::Before, "A1"}));
    EXPECT_THROW(moving::move(store, history, "C", {Kind::Under, chain}), moves::MoveRefused);
    EXPECT_NO_THROW(moving::move(store, history, "C", {Kind::Under, chain.substr(0, 98)}));
    EXPECT_EQ(test::querySql(path, "SELECT max(length(Kleidi)) FROM mynodes"), "100");
    EXPECT_TRUE(loadsWhole(path));
}

// A note's earlier versions follow its row to a new ID. Between the two files' commits a
// crash leaves the new IDs waiting in the history: the next opening takes them when the notes
// hold the rows under them, and drops them when it does not.
TEST(MovingTest, VersionsFollowTheirNotesAcrossACrashBetweenTheFiles)
{
    test::TempFolder folder;
    const std::string path = folder.path("mydata.mdb");
    test::createDatabase(path, kOutline);
    const auto versionsOf = [&](std::int64_t id) {
        return test::FileHistory(path).versionsOf(id).size();
    };
    {
        NoteStore store(path);
        NoteHistory history(store);
        ASSERT_TRUE(history.keep(*store.readRow("B1"), false, 1000));
        ASSERT_TRUE(history.keep(*store.readRow("C"), false, 1000));
        moving::move(store, history, "B2", {Kind::Before, "B1"}); // B1 takes ID 9
    }
    EXPECT_EQ(versionsOf(3), 0u);
    EXPECT_EQ(versionsOf(9), 1u);

    // The history knows the new IDs, the notes never committed them: dropped.
    {
        test::FileHistory history(path);
        ASSERT_TRUE(history.beginRenumbering({{6, 20, "C"}}));
    }
    EXPECT_EQ(versionsOf(6), 1u);
    EXPECT_EQ(versionsOf(20), 0u);

    // The notes committed the move of C to the top; the history did not follow yet: taken.
    {
        NoteStore store(path);
        const moves::Plan plan = moves::plan(store.connection(), "C", {Kind::Top, ""});
        ASSERT_TRUE(plan.changesIds());
        std::vector<NoteHistory::Renumbered> renumbered;
        for (const moves::RowChange &change : plan.changes)
            renumbered.push_back({change.oldId, change.newId, change.newKey});
        test::FileHistory history(path);
        ASSERT_TRUE(history.beginRenumbering(renumbered));
        Transaction transaction(store.connection());
        moves::apply(store.connection(), plan);
        transaction.commit();
    }
    EXPECT_EQ(versionsOf(6), 0u);
    EXPECT_EQ(versionsOf(11), 1u);
}

} // namespace
} // namespace quillet
