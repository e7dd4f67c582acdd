#pragma once

#include "store/NoteStore.h"
#include "store/Sqlite.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// Moving an item, with every row below it, to another place in the outline. Keys carry no
// order: siblings stand in the order of their IDs, and a parent's row comes before its
// children's. A move gives the moved rows their new keys (by the numbering rule of adding when
// the parent changes, every descendant's key rewritten by its prefix) and new IDs only to the
// rows whose order would otherwise break those two rules: new IDs are always above every ID
// ever given, so only the siblings that end up last can take them.
namespace quillet::moves {

// Where an item goes.
struct Place
{
    enum class Kind {
        Under,  // the last child of the item with the key
        Before, // just before the item with the key, among its siblings
        After,  // just after it
        Top,    // the last top-level item
    };
    Kind kind = Kind::Top;
    std::string key;
};

// A row a move changes: its ID and key before and after.
struct RowChange
{
    std::int64_t oldId = 0;
    std::int64_t newId = 0;
    std::string oldKey;
    std::string newKey;
};

// A move worked out against the rows as they are.
struct Plan
{
    std::vector<RowChange> changes; // in the order of the new IDs
    std::string oldKey;             // the moved item's key before
    std::string newKey;             // and after
    std::int64_t lastId = 0;        // the highest ID ever given, once the move is applied
    bool changesIds() const;
};

// A move that cannot be made, and why, in words for the user.
class MoveRefused : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Works out the move of the item with the key (its row and every row whose key begins with it,
// as a delete takes them) to the place. Refused: the first item "A", anything before it, a
// place in the item's own subtree, a parent with no free number (nine children, or every
// top-level key taken), a move that would take a row deeper than the outline goes
// (keys::kMaxLevels), an item or place that is not there.
Plan plan(Connection &db, const std::string &key, const Place &place);

// Writes the plan's changes, in the caller's transaction: keys and IDs only, every other
// column as it was.
void apply(Connection &db, const Plan &plan);

// The plan that puts every row of an applied plan back to its ID and key.
Plan reverse(const Plan &plan);

// The rows that belong to items, in ID order, each key without the spaces around it: rows
// without a key of text belong to none.
std::vector<KeyedRow> keyedRows(Connection &db);

// The key a new child of parent (empty: a new top-level item) takes by the rule of adding,
// among the rows (as keyedRows gives them) save those marked leaving; nothing when the parent
// has no free number (nine children, or every top-level key taken).
std::optional<std::string> newChildKey(const std::string &parent, const std::vector<KeyedRow> &rows,
                                       const std::vector<bool> &leaving);

} // namespace quillet::moves
