#include "store/MovePlan.h"

#include "store/Keys.h"
#include "store/Tables.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace quillet::moves {

namespace {

using Row = KeyedRow;

} // namespace

std::vector<KeyedRow> keyedRows(Connection &db)
{
    std::vector<Row> rows;
    forEachKey(db, [&](std::int64_t id, const Value &key) {
        if (const std::optional<std::string_view> text = key.textView();
            text && key.type() == Value::Type::Text) {
            std::string trimmed = keys::trimSpaces(*text);
            if (!trimmed.empty())
                rows.push_back(Row{id, std::move(trimmed)});
        }
    });
    std::sort(rows.begin(), rows.end(), [](const Row &a, const Row &b) { return a.id < b.id; });
    return rows;
}

bool RowsShape::has(const std::string &key) const
{
    return std::any_of(m_rows.begin(), m_rows.end(),
                       [&](const Row &row) { return row.key == key; });
}

std::vector<std::string> RowsShape::childrenOf(const std::string &parent) const
{
    std::vector<std::string> children;
    for (const Row &row : m_rows)
        if (keys::parent(row.key) == parent)
            children.push_back(row.key);
    return children;
}

int RowsShape::levelsBelow(const std::string &key) const
{
    int deepest = 0;
    for (const Row &row : m_rows)
        if (row.key.starts_with(key))
            deepest = std::max(deepest, keys::length(row.key) - keys::length(key));
    return deepest;
}

std::vector<std::string> RowsShape::numberedUnder(const std::string &parent) const
{
    if (!parent.empty())
        return childrenOf(parent);
    std::vector<std::string> every;
    every.reserve(m_rows.size());
    for (const Row &row : m_rows)
        every.push_back(row.key);
    return every;
}

bool Plan::changesIds() const
{
    return std::any_of(changes.begin(), changes.end(),
                       [](const RowChange &change) { return change.oldId != change.newId; });
}

Plan plan(Connection &db, const std::string &key, const Place &place)
{
    const std::vector<Row> rows = keyedRows(db);
    // The first row with a key is the item that shows; a later one with the same key is left
    // out of the outline. A few keys are looked up, so a search serves.
    const auto idOf = [&](const std::string &of) -> std::int64_t {
        return std::find_if(rows.begin(), rows.end(), [&](const Row &row) { return row.key == of; })
            ->id;
    };
    const Verdict verdict = judge(RowsShape(rows), key, place);
    if (!verdict.allowed())
        throw MoveRefused(verdict.refusal + "; nothing was moved.");
    const std::int64_t rootId = idOf(key);
    const std::string &newKey = verdict.newKey;
    const std::string parent = parentOf(place);
    // Every row the move takes, by the prefix rule of a delete.
    std::vector<bool> moving(rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r)
        moving[r] = rows[r].key.starts_with(key);

    // The siblings in their new order, the moved item among them.
    std::vector<std::size_t> order;
    for (std::size_t r = 0; r < rows.size(); ++r)
        if (!moving[r] && keys::parent(rows[r].key) == parent)
            order.push_back(r);
    std::size_t at = order.size();
    if (place.kind == Place::Kind::Before || place.kind == Place::Kind::After) {
        at = static_cast<std::size_t>(
            std::find_if(order.begin(), order.end(),
                         [&](std::size_t r) { return rows[r].key == place.key; }) -
            order.begin());
        if (place.kind == Place::Kind::After && at < order.size())
            ++at;
    }
    constexpr std::size_t kMoved = static_cast<std::size_t>(-1);
    order.insert(order.begin() + static_cast<std::ptrdiff_t>(at), kMoved);

    // The longest run from the first whose IDs already rise from the parent's keeps them; the
    // rest take new IDs, in their new order, each with its subtree.
    std::int64_t previous = parent.empty() ? 0 : idOf(parent);
    std::size_t kept = 0;
    for (; kept < order.size(); ++kept) {
        const std::int64_t id = order[kept] == kMoved ? rootId : rows[order[kept]].id;
        if (id <= previous)
            break;
        previous = id;
    }
    std::int64_t lastId = lastRowId(db).value_or(0);
    for (const Row &row : rows)
        lastId = std::max(lastId, row.id);

    Plan made;
    made.oldKey = key;
    made.newKey = newKey;
    std::unordered_map<std::int64_t, std::int64_t> newIds;
    for (std::size_t o = kept; o < order.size(); ++o) {
        const std::string &root = order[o] == kMoved ? key : rows[order[o]].key;
        for (std::size_t r = 0; r < rows.size(); ++r) {
            // A sibling's subtree never holds the moved rows, even when it held them before.
            const bool inSubtree = order[o] == kMoved ? static_cast<bool>(moving[r])
                                                      : !moving[r] && rows[r].key.starts_with(root);
            if (inSubtree)
                newIds.emplace(rows[r].id, ++lastId);
        }
    }
    made.lastId = lastId;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const auto renumbered = newIds.find(rows[r].id);
        const std::string rowKey =
            moving[r] ? newKey + rows[r].key.substr(key.size()) : rows[r].key;
        if (renumbered == newIds.end() && rowKey == rows[r].key)
            continue;
        made.changes.push_back(
            RowChange{rows[r].id, renumbered == newIds.end() ? rows[r].id : renumbered->second,
                      rows[r].key, rowKey});
    }
    std::sort(made.changes.begin(), made.changes.end(),
              [](const RowChange &a, const RowChange &b) { return a.newId < b.newId; });
    return made;
}

void apply(Connection &db, const Plan &plan)
{
    // A row whose key stays keeps its stored key as it is (Null leaves it).
    const auto keyChanges = [](const RowChange &change) {
        return change.oldKey != change.newKey;
    };
    // Each row goes straight to its new ID and key when none of them is one another row of the
    // move is leaving (new IDs are above every ID given, and a new place's keys are free): a
    // change of ID rewrites the row, note and all, and once is enough. Otherwise it goes in two
    // steps, first to a name and number of its own that nothing else holds.
    std::unordered_set<std::int64_t> leavingIds;
    std::unordered_set<std::string> leavingKeys;
    for (const RowChange &change : plan.changes) {
        leavingIds.insert(change.oldId);
        if (keyChanges(change))
            leavingKeys.insert(change.oldKey);
    }
    const bool direct =
        std::none_of(plan.changes.begin(), plan.changes.end(), [&](const RowChange &change) {
            return (change.newId != change.oldId && leavingIds.contains(change.newId)) ||
                   (keyChanges(change) && leavingKeys.contains(change.newKey));
        });
    Statement update(db, "UPDATE mynodes SET ID = ?, Kleidi = coalesce(?, Kleidi) WHERE ID = ?");
    const auto step = [&](std::int64_t from, std::int64_t to, const std::string *key) {
        update.reset();
        update.bind(1, to);
        if (key)
            update.bind(2, *key);
        else
            update.bindNull(2);
        update.bind(3, from);
        update.run();
        if (db.changes() != 1)
            throw StoreError(0,
                             "The row with the ID " + std::to_string(from) +
                                 " changed meanwhile; nothing was moved.",
                             db.path());
    };
    const std::int64_t parked = plan.lastId + 1;
    for (std::size_t c = 0; c < plan.changes.size(); ++c) {
        const RowChange &change = plan.changes[c];
        if (direct) {
            step(change.oldId, change.newId, keyChanges(change) ? &change.newKey : nullptr);
            continue;
        }
        const std::string parkedKey = "\x01" + std::to_string(c);
        step(change.oldId, parked + static_cast<std::int64_t>(c),
             keyChanges(change) ? &parkedKey : nullptr);
    }
    if (!direct)
        for (std::size_t c = 0; c < plan.changes.size(); ++c)
            step(parked + static_cast<std::int64_t>(c), plan.changes[c].newId,
                 keyChanges(plan.changes[c]) ? &plan.changes[c].newKey : nullptr);
    // New IDs are never given again: the engine's count of them goes past the ones taken.
    if (plan.lastId > lastRowId(db).value_or(0))
        setLastRowId(db, plan.lastId);
}

Plan reverse(const Plan &plan)
{
    Plan back = plan;
    std::swap(back.oldKey, back.newKey);
    for (RowChange &change : back.changes) {
        std::swap(change.oldId, change.newId);
        std::swap(change.oldKey, change.newKey);
    }
    return back;
}

} // namespace quillet::moves
