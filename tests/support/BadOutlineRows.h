#pragma once

#include <cstdint>

namespace quillet::test {

// Rows that cannot join the outline, each added after the row "A" of a foreign database
// (createForeignDatabase). The program's loading stops at the bad row and quillet-db check
// reports it: one table for both, as both follow one rule.
struct BadOutlineRow
{
    const char *name;
    const char *sql;
    std::int64_t id;          // the first row that cannot join
    const char *loaderReason; // what the program's message says of it
    const char *checkReport;  // what the tool's report line says of it
};

inline constexpr BadOutlineRow kBadOutlineRows[] = {
    {"NullKey", "INSERT INTO mynodes (ID, MyText, anoixto) VALUES (2, 't', 0)", 2,
     "its key (Kleidi) is Null", "the key (Kleidi) is Null"},
    {"BlankKey", "INSERT INTO mynodes (ID, Kleidi, MyText, anoixto) VALUES (2, '   ', 't', 0)", 2,
     "its key (Kleidi) is empty", "the key (Kleidi) is empty"},
    {"NullTitle", "INSERT INTO mynodes (ID, Kleidi, MyText, anoixto) VALUES (2, 'B', NULL, 0)", 2,
     "its title (MyText) is Null", "the title (MyText) is Null"},
    {"NullExpanded", "INSERT INTO mynodes (ID, Kleidi, MyText, anoixto) VALUES (2, 'B', 't', NULL)",
     2, "its expanded flag (anoixto) is not true or false", "anoixto is Null"},
    {"WordExpanded",
     "INSERT INTO mynodes (ID, Kleidi, MyText, anoixto) VALUES (2, 'B', 't', 'maybe')", 2,
     "its expanded flag (anoixto) is not true or false",
     "anoixto \"maybe\" is neither a number nor true or false"},
    {"DuplicateAfterTrimming",
     "INSERT INTO mynodes (ID, Kleidi, MyText, anoixto) VALUES (2, 'A1', 't', 0), "
     "(3, ' A1 ', 't', 0)",
     3, "the key is already in the outline", "the key repeats that of ID 2"},
    {"ChildWithoutParent",
     "INSERT INTO mynodes (ID, Kleidi, MyText, anoixto) VALUES (2, 'A12', 't', 0)", 2,
     "its parent \"A1\" is not in the outline", "no row holds its parent key \"A1\""},
    {"ChildBeforeParent",
     "INSERT INTO mynodes (ID, Kleidi, MyText, anoixto) VALUES (2, 'A11', 't', 0), "
     "(3, 'A1', 't', 0)",
     2, "its parent \"A1\" is not in the outline", "its parent \"A1\" comes later, at ID 3"},
    // Outside the key scheme, but the key still has a parent, which is missing.
    {"OrphanOutsideTheScheme",
     "INSERT INTO mynodes (ID, Kleidi, MyText, anoixto) VALUES (2, 'X0', 't', 0)", 2,
     "its parent \"X\" is not in the outline", "no row holds its parent key \"X\""},
};

} // namespace quillet::test
