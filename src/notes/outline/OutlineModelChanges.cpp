#include "notes/outline/OutlineModel.h"
#include "notes/outline/TrimValue.h"
#include "store/Keys.h"
#include "store/OutlineChange.h"
#include "store/OutlineRowCheck.h"

#include <QSet>

#include <algorithm>
#include <unordered_set>

// The nodes following a change of their rows in place, rather than the outline loaded again.

namespace quillet {

bool OutlineModel::appendRows(const std::vector<OutlineRow> &rows)
{
    // Everything is checked first, by the rule loading follows: nothing is added unless all
    // of it fits.
    struct Made
    {
        QString key;
        QString text;
        QString parent;
        std::string storedKey;
        std::int64_t id;
    };
    std::vector<Made> made;
    made.reserve(rows.size());
    QSet<QString> keys;
    std::int64_t last = m_nodes.empty() ? 0 : m_nodes.back().id;
    OutlineRowCheck rowCheck;
    for (const OutlineRow &row : rows) {
        const CheckedRow checked = rowCheck.check(row);
        if (const std::optional<RowProblem> refusal = checked.refusal();
            refusal && *refusal != RowProblem::ParentNotBefore)
            return false;
        Made node{fromStored(checked.key), TrimValue(row.title), fromStored(checked.parentKey),
                  storedKeyOf(row.key), row.id};
        if (row.id <= last || find(node.key) >= 0 || keys.contains(node.key) ||
            (!node.parent.isEmpty() && find(node.parent) < 0 && !keys.contains(node.parent)))
            return false;
        last = row.id;
        keys.insert(node.key);
        made.push_back(std::move(node));
    }
    for (Made &node : made)
        add(node.key, node.text, node.parent, std::move(node.storedKey), node.id);
    return true;
}

bool OutlineModel::apply(const OutlineChange &change)
{
    if (change.changed.empty() && change.added.empty() && change.removed.empty())
        return true;
    // Rows put in after every row there is, and nothing else (an add): appended as loading
    // appends them, each a row inserted rather than a change of the whole layout.
    if (change.changed.empty() && change.removed.empty())
        if (appendRows(change.added))
            return true;
    // Everything is worked out and checked aside first: nothing changes unless all of it fits.
    // The nodes there are keep their numbers as slots; the nodes made for the rows put in take
    // the slots after them.
    const int total = count();
    std::vector<char> leaving(static_cast<std::size_t>(total), 0);
    if (!change.removed.empty()) {
        const std::unordered_set<std::int64_t> ids(change.removed.begin(), change.removed.end());
        std::size_t found = 0;
        for (int number = 0; number < total; ++number)
            if (ids.contains(m_nodes[number].id)) {
                leaving[number] = 1;
                ++found;
            }
        if (found != ids.size())
            return false;
    }
    std::vector<const moves::RowChange *> changeOf(static_cast<std::size_t>(total), nullptr);
    std::vector<int> moved; // the changed nodes
    moved.reserve(change.changed.size());
    for (const moves::RowChange &row : change.changed) {
        const int number = find(fromStored(row.oldKey));
        if (number < 0 || m_nodes[number].id != row.oldId || changeOf[number] || leaving[number])
            return false;
        changeOf[number] = &row;
        moved.push_back(number);
    }
    // The rows put in become nodes as loading makes them, each checked by the same rule; their
    // parents may be among the nodes rather than among them.
    std::vector<Node> made;
    std::vector<QString> madeParent;
    made.reserve(change.added.size());
    OutlineRowCheck rowCheck;
    for (const OutlineRow &row : change.added) {
        const CheckedRow checked = rowCheck.check(row);
        if (const std::optional<RowProblem> refusal = checked.refusal();
            refusal && *refusal != RowProblem::ParentNotBefore)
            return false;
        made.push_back(Node{fromStored(checked.key),
                            TrimValue(row.title),
                            storedKeyOf(row.key),
                            row.id,
                            -1,
                            0,
                            {}});
        madeParent.push_back(fromStored(checked.parentKey));
    }
    const int slotCount = total + static_cast<int>(made.size());
    const auto isMade = [&](int slot) {
        return slot >= total;
    };
    const auto renamed = [&](int slot) {
        return !isMade(slot) && changeOf[slot] && changeOf[slot]->newKey != changeOf[slot]->oldKey;
    };
    // A node there that keeps its key, and so holds it still.
    const auto holds = [&](int number) {
        return number >= 0 && !leaving[number] && !renamed(number);
    };
    // The new keys, each given once, and none held by a node that keeps its key.
    QHash<OutlineKey, int> given;
    given.reserve(static_cast<qsizetype>(moved.size() + made.size()));
    const auto give = [&](const QString &text, int slot) {
        const OutlineKey key{text};
        if (holds(m_byKey.value(key, -1)) || given.contains(key))
            return false;
        given.insert(key, slot);
        return true;
    };
    for (const int number : moved)
        if (renamed(number) && !give(fromStored(changeOf[number]->newKey), number))
            return false;
    for (int j = 0; j < static_cast<int>(made.size()); ++j)
        if (!give(made[j].key, total + j))
            return false;
    // A slot by its key once the change is made; -1 when none has it.
    const auto slotOf = [&](const QString &text) {
        const OutlineKey key{text};
        if (const auto found = given.constFind(key); found != given.cend())
            return found.value();
        const int holder = m_byKey.value(key, -1);
        return holds(holder) ? holder : -1;
    };

    // The new order, by ID as the rows are read: the nodes that keep their IDs are in that
    // order already, and the changed and the made ones are sorted apart and merged in.
    const auto idOf = [&](int slot) {
        if (isMade(slot))
            return made[slot - total].id;
        return changeOf[slot] ? changeOf[slot]->newId : m_nodes[slot].id;
    };
    const auto byId = [&](int a, int b) {
        return idOf(a) < idOf(b);
    };
    std::vector<int> kept;
    kept.reserve(static_cast<std::size_t>(total));
    for (int number = 0; number < total; ++number)
        if (!changeOf[number] && !leaving[number])
            kept.push_back(number);
    std::vector<int> arriving = moved;
    for (int slot = total; slot < slotCount; ++slot)
        arriving.push_back(slot);
    for (std::vector<int> *part : {&kept, &arriving})
        if (!std::is_sorted(part->begin(), part->end(), byId))
            std::sort(part->begin(), part->end(), byId);
    std::vector<int> order(kept.size() + arriving.size());
    std::merge(kept.begin(), kept.end(), arriving.begin(), arriving.end(), order.begin(), byId);
    std::vector<int> newNumber(static_cast<std::size_t>(slotCount), -1);
    for (int at = 0; at < static_cast<int>(order.size()); ++at) {
        if (at > 0 && idOf(order[at - 1]) == idOf(order[at]))
            return false;
        newNumber[order[at]] = at;
    }
    // Each node's parent: a changed or made one's by its key, any other's as it was (which must
    // stay); always before the node.
    std::vector<int> parents(order.size());
    for (int at = 0; at < static_cast<int>(order.size()); ++at) {
        const int slot = order[at];
        int parent = -1;
        QString parentKey;
        if (isMade(slot))
            parentKey = madeParent[slot - total];
        else if (changeOf[slot])
            parentKey = fromStored(keys::parent(changeOf[slot]->newKey));
        else if (const int old = m_nodes[slot].parent; old >= 0) {
            if (leaving[old])
                return false;
            parent = newNumber[old];
        }
        if (!parentKey.isEmpty()) {
            const int holder = slotOf(parentKey);
            if (holder < 0)
                return false;
            parent = newNumber[holder];
        }
        if (parent >= at)
            return false;
        parents[at] = parent;
    }

    emit layoutAboutToBeChanged();
    const QModelIndexList before = persistentIndexList();
    for (auto entry = m_byKey.begin(); entry != m_byKey.end();) {
        if (!holds(entry.value())) {
            entry = m_byKey.erase(entry);
            continue;
        }
        entry.value() = newNumber[entry.value()];
        ++entry;
    }
    for (auto entry = given.cbegin(); entry != given.cend(); ++entry)
        m_byKey.insert(entry.key(), newNumber[entry.value()]);
    std::vector<Node> nodes;
    nodes.reserve(order.size());
    m_topLevel.clear();
    for (int at = 0; at < static_cast<int>(order.size()); ++at) {
        const int slot = order[at];
        Node node = isMade(slot) ? std::move(made[slot - total]) : std::move(m_nodes[slot]);
        if (const moves::RowChange *row = isMade(slot) ? nullptr : changeOf[slot]) {
            node.id = row->newId;
            // A key that stays is stored as it was; a new one as the change wrote it.
            if (row->newKey != row->oldKey) {
                node.key = fromStored(row->newKey);
                node.storedKey = row->newKey;
            }
        }
        node.parent = parents[at];
        node.children.clear();
        std::vector<int> &siblings = node.parent < 0 ? m_topLevel : nodes[node.parent].children;
        node.row = static_cast<int>(siblings.size());
        siblings.push_back(at);
        nodes.push_back(std::move(node));
    }
    m_nodes = std::move(nodes);
    m_peakCount = std::max(m_peakCount, m_nodes.size());
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex &index : before) {
        const int old = static_cast<int>(index.internalId());
        after.push_back(leaving[old] ? QModelIndex() : indexOf(newNumber[old]));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged();
    return true;
}

} // namespace quillet
