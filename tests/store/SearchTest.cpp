#include "store/NoteSearch.h"
#include "support/TestDatabase.h"

#include <gtest/gtest.h>

namespace quillet::test {
namespace {

// Titles only or titles and notes; each title and each note counts once; past the list's
// limit hits are counted, not kept; a note's hit comes with its line.
TEST(SearchTest, TheSearchReadsTitlesAndNotesAndCountsPastTheList)
{
    TempFolder folder;
    const std::string path = folder.path("notes.mdb");
    createDatabase(path, {{"A", "Garden plans"}, {"B", "Letters"}, {"C", "Other"}});
    execSql(path, "UPDATE mynodes SET Keimeno='first line\nsome garden work, more garden\nlast' "
                  "WHERE Kleidi='B';"
                  "UPDATE mynodes SET Keimeno='a garden too' WHERE Kleidi='A'");
    std::atomic<bool> stop{false};
    SearchResults titles = searchNotes(path, {"GARDEN", false, false, 500}, stop);
    ASSERT_EQ(titles.total, 1);
    EXPECT_EQ(titles.hits[0].key, "A");
    EXPECT_FALSE(titles.hits[0].inNote);

    SearchResults all = searchNotes(path, {"GARDEN", true, false, 500}, stop);
    ASSERT_EQ(all.total, 3);
    const SearchHit &line = all.hits[2];
    EXPECT_EQ(line.key, "B");
    EXPECT_TRUE(line.inNote);
    EXPECT_EQ(line.context, "some garden work, more garden");
    EXPECT_EQ(line.context.substr(line.hitStart, line.hitLength), "garden");
    EXPECT_EQ(searchNotes(path, {"GARDEN", true, true, 500}, stop).total, 0);

    std::string rows = "BEGIN;";
    for (int i = 0; i < 600; ++i)
        rows += "INSERT INTO mynodes (Kleidi, MyText, Keimeno) VALUES ('D" + std::to_string(i) +
                "', 't', 'a garden');";
    execSql(path, rows + "COMMIT;");
    SearchResults many = searchNotes(path, {"garden", true, false, 500}, stop);
    EXPECT_EQ(many.total, 603);
    EXPECT_EQ(many.hits.size(), 500u);
    stop = true;
    EXPECT_TRUE(searchNotes(path, {"garden", true, false, 500}, stop).stopped);
}

} // namespace
} // namespace quillet::test
