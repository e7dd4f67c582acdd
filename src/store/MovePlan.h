#pragma once

#include "store/MoveRules.h"
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
// as a delete takes them) to the place, where the rules allow it (judge, over the rows of the
// file); refused with their reason otherwise.
Plan plan(Connection &db, const std::string &key, const Place &place);

// Writes the plan's changes, in the caller's transaction: keys and IDs only, every other
// column as it was.
void apply(Connection &db, const Plan &plan);

// The plan that puts every row of an applied plan back to its ID and key.
Plan reverse(const Plan &plan);

// The rows that belong to items, in ID order, each key without the spaces around it: rows
// without a key of text belong to none.
std::vector<KeyedRow> keyedRows(Connection &db);

// The outline as the rows (as keyedRows gives them) hold it, for the rules of a move; rows
// with the same key all count as that item's. A new top-level key is numbered past the first
// character of every key, so that a row left out for want of its parent never gains one.
class RowsShape final : public Shape
{
public:
    explicit RowsShape(const std::vector<KeyedRow> &rows)
        : m_rows(rows)
    {
    }
    bool has(const std::string &key) const override;
    std::vector<std::string> childrenOf(const std::string &parent) const override;
    int levelsBelow(const std::string &key) const override;
    std::vector<std::string> numberedUnder(const std::string &parent) const override;

private:
    const std::vector<KeyedRow> &m_rows;
};

} // namespace quillet::moves
