#pragma once

#include "store/NoteStore.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

// What can be wrong with one row of the outline table, in the order a row is checked.
enum class RowProblem {
    KeyNull,            // Kleidi is Null
    KeyEmpty,           // Kleidi is empty or only spaces
    KeyOutsideScheme,   // Kleidi is not a first character "A" or above, then digits 1 to 9
    TitleNull,          // MyText is Null
    ExpandedNull,       // anoixto is Null
    ExpandedNotBoolean, // anoixto is neither a number nor "true" or "false"
    DuplicateKey,       // an earlier row has the same key
    ParentNotBefore,    // no earlier row holds the key's parent
};

// A key outside the scheme still has a parent and a place in the outline; every other problem
// keeps the row out of it.
constexpr bool keepsRowOut(RowProblem problem)
{
    return problem != RowProblem::KeyOutsideScheme;
}

// One row as the outline takes it.
struct CheckedRow
{
    std::string key;       // spaces trimmed, as the outline shows it; empty for a Null key
    std::string parentKey; // empty for a top-level key
    bool expanded = false;
    std::vector<RowProblem> problems;

    // The first problem that keeps the row out of the outline, or nothing.
    std::optional<RowProblem> refusal() const;
};

// A stored value as a message shows it: quoted, with control characters escaped so that a key
// holding a line break cannot split a message or a report line, and cut short when long.
std::string quote(std::string_view text);

// A problem of a row in words, as the program's start-up message and the tool's report both
// say it: "the title (MyText) is Null". otherId is, for a repeated key, the ID of the first row
// with it; for a parent not before the row, the ID of the row holding the parent later in the
// table, or nothing when no row holds it.
std::string describe(RowProblem problem, const OutlineRow &row, const CheckedRow &checked,
                     std::optional<std::int64_t> otherId);

// The one rule for the rows of the outline table, shared by the program's outline loading and
// the tool's check: rows are checked in ID order, and a row joins the outline only when its key,
// title and expanded flag are usable, its key is new, and its parent came before it.
class OutlineRowCheck
{
public:
    CheckedRow check(const OutlineRow &row);

    // The ID of the first row with this key, among the rows checked so far.
    std::optional<std::int64_t> firstIdOf(const std::string &key) const;

private:
    // The keys seen so far with the ID of their first row: an open-addressing table over one
    // buffer of key bytes. The outline is loaded at every start and after every add and
    // delete; a standard map, with a node per key, made that a quarter slower.
    struct Slot
    {
        std::size_t hash = 0;
        std::size_t offset = 0; // of the key in m_keyBytes
        std::size_t length = 0;
        std::int64_t id = 0;
        bool used = false;
    };
    // The slot holding key, or the free slot where it would go.
    std::size_t slotOf(std::string_view key, std::size_t hash) const;
    void grow();

    std::string m_keyBytes;
    std::vector<Slot> m_slots = std::vector<Slot>(64);
    std::size_t m_count = 0;
};

} // namespace quillet
