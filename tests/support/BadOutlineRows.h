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
    std::int64_t id;    // the first row that cannot join
    const char *reason; // what the program's message and the tool's report line say of it
};

inline constexpr BadOutlineRow kBadOutlineRows[] = {
    {"NullKey", "INSERT INTO mynodes (ID, MyText, anoixto) VALUES (2, 't', 0)", 2,
     "the key (Kleidi) is Null"},
    {"BlankKey", "INSERT INTO mynodes (ID, Kleidi, MyText, anoixto) VALUES (2, '   ', 't', 0)", 2,
     "the key (Kleidi) is empty"},
    {"NullTitle", "INSERT INTO mynodes (ID, Kleidi, MyText, anoixto) VALUES (2, 'B', NULL, 0)", 2,
     "the title (MyText) is Null"},
    {"NullExpanded", "INSERT INTO mynodes (ID, Kleidi, MyText, anoixto) VALUES (2, 'B', 't', NULL)",
     2, "the expanded flag (anoixto) is Null"},
    {"WordExpanded",
     "INSERT INTO mynodes (ID, Kleidi, MyText, anoixto) VALUES (2, 'B', 't', 'maybe')", 2,
     "the expanded flag (anoixto) \"maybe\" is neither a number nor true or false"},
    {"DuplicateAfterTrimming",
     "INSERT INTO mynodes (ID, Kleidi, MyText, anoixto) VALUES (2, 'A1', 't', 0), "
     "(3, ' A1 ', 't', 0)",
     3, "the key repeats that of ID 2"},
    {"ChildWithoutParent",
     "INSERT INTO mynodes (ID, Kleidi, MyText, anoixto) VALUES (2, 'A12', 't', 0)", 2,
     "no row holds its parent key \"A1\""},
    {"ChildBeforeParent",
     "INSERT INTO mynodes (ID, Kleidi, MyText, anoixto) VALUES (2, 'A11', 't', 0), "
     "(3, 'A1', 't', 0)",
     2, "its parent \"A1\" is stored after it, at ID 3"},
    // Outside the key scheme, but the key still has a parent, which is missing.
    {"OrphanOutsideTheScheme",
     "INSERT INTO mynodes (ID, Kleidi, MyText, anoixto) VALUES (2, 'X0', 't', 0)", 2,
     "no row holds its parent key \"X\""},
};

} // namespace quillet::test
