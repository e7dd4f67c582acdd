#include "store/NoteSearch.h"
#include "store/TextMatch.h"
#include "support/TestDatabase.h"

#include <gtest/gtest.h>

namespace quillet::test {
namespace {

struct MatchCase
{
    const char *query;
    std::string text;
    bool matchCase;
    const char *found; // the text matched, or nullptr for none
};

// What a query finds, as a user expects: case aside unless asked, Greek capitals finding
// accented small letters, accents otherwise counting, and every character plain text.
TEST(SearchTest, AQueryFindsWhatAUserExpects)
{
    const MatchCase cases[] = {
        {"notes", "My Notes here", false, "Notes"},
        {"notes", "My Notes here", true, nullptr},
        {"Notes", "My Notes here", true, "Notes"},
        {"ΑΛΦΑ", "το άλφα και", false, "άλφα"},
        {"ΚΑΛΗΜΕΡΑ", "και καλημέρα", false, "καλημέρα"},
        {"kid", "a KİD", false, "KİD"},
        {"z", "abc z", false, "z"},
        {"αλφα", "ΆΛΦΑ", false, "ΆΛΦΑ"},
        {"άλφα", "αλφα", false, nullptr},
        {"άλφα", "ΆΛΦΑ", false, "ΆΛΦΑ"},
        {"σοφος", "ΣΟΦΟΣ και σοφός", false, "ΣΟΦΟΣ"},
        {"ΣΟΦΟΣ", "ο σοφός", false, "σοφός"},
        {"e", "café", false, nullptr},
        {"CAFÉ", "café", false, "café"},
        {"привет", "ПРИВЕТ", false, "ПРИВЕТ"},
        {"łódź", "w ŁÓDŹ dziś", false, "ŁÓDŹ"},
        {"ŽALUZIE", "žaluzie", false, "žaluzie"},
        {"50%", "a 50% rise", false, "50%"},
        {"a_b", "aXb", false, nullptr},
        {"'); drop", "x'); DROP table", false, "'); DROP"},
        {"\\\\dir", "C:\\\\dir", false, "\\\\dir"},
        {"\xff", "a\xff", false, "\xff"},
    };
    for (const MatchCase &c : cases) {
        SCOPED_TRACE(c.query);
        const std::optional<TextMatch::Found> found = TextMatch(c.query, c.matchCase).find(c.text);
        if (!c.found) {
            EXPECT_FALSE(found) << c.text.substr(found ? found->start : 0);
            continue;
        }
        ASSERT_TRUE(found);
        EXPECT_EQ(c.text.substr(found->start, found->length), c.found);
    }
    const std::string longQuery(10000, 'q');
    EXPECT_FALSE(TextMatch(longQuery, false).find(std::string(20000, 'x') + "qq"));
    EXPECT_TRUE(TextMatch(longQuery, false).find("x" + longQuery));
}

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
