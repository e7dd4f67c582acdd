#include "text/TextMatch.h"

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
TEST(textMatch, AQueryFindsWhatAUserExpects)
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

} // namespace
} // namespace quillet::test
