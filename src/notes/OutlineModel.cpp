#include "notes/OutlineModel.h"

#include "notes/TrimValue.h"
#include "store/Keys.h"
#include "store/Moves.h"

#include <QMimeData>

#include <algorithm>
#include <stdexcept>

namespace quillet {

OutlineModel::OutlineModel(QObject *parent)
    : QAbstractItemModel(parent)
{
}

int OutlineModel::add(const QString &key, const QString &text, const QString &parentKey,
                      std::string storedKey, std::int64_t id)
{
    if (key.isEmpty())
        throw std::invalid_argument("the key is empty");
    if (m_byKey.contains(OutlineKey{key}))
        throw std::invalid_argument("the key is already in the outline");
    int parentNumber = -1;
    if (!parentKey.isEmpty()) {
        parentNumber = find(parentKey);
        if (parentNumber < 0)
            throw std::invalid_argument("its parent \"" + parentKey.toStdString() +
                                        "\" is not in the outline");
    }

    std::vector<int> &siblings = parentNumber < 0 ? m_topLevel : m_nodes[parentNumber].children;
    const int number = count();
    const int row = static_cast<int>(siblings.size());
    if (!m_bulk)
        beginInsertRows(parentNumber < 0 ? QModelIndex() : indexOf(parentNumber), row, row);
    if (storedKey.empty())
        storedKey = key.toStdString();
    m_nodes.push_back(Node{key, text, std::move(storedKey), id, parentNumber, row, {}});
    // siblings may refer into m_nodes, which push_back can move: look it up again.
    (parentNumber < 0 ? m_topLevel : m_nodes[parentNumber].children).push_back(number);
    m_byKey.insert(OutlineKey{key}, number);
    if (!m_bulk)
        endInsertRows();
    return number;
}

void OutlineModel::clear()
{
    if (!m_bulk)
        beginResetModel();
    m_nodes.clear();
    m_topLevel.clear();
    m_byKey.clear();
    if (!m_bulk)
        endResetModel();
}

bool OutlineModel::applyMove(const std::vector<moves::RowChange> &changes)
{
    // Everything is worked out and checked aside first: nothing changes unless all of it fits.
    const int total = count();
    std::vector<const moves::RowChange *> changeOf(static_cast<std::size_t>(total), nullptr);
    std::vector<int> moved; // the changed nodes
    moved.reserve(changes.size());
    for (const moves::RowChange &change : changes) {
        const int number = find(fromStored(change.oldKey));
        if (number < 0 || m_nodes[number].id != change.oldId || changeOf[number])
            return false;
        changeOf[number] = &change;
        moved.push_back(number);
    }
    const auto renamed = [&](int number) {
        return changeOf[number] && changeOf[number]->newKey != changeOf[number]->oldKey;
    };
    // The new keys, each given once, and none held by a node that keeps its key.
    QHash<OutlineKey, int> given;
    given.reserve(static_cast<qsizetype>(changes.size()));
    for (const int number : moved) {
        if (!renamed(number))
            continue;
        const OutlineKey key{fromStored(changeOf[number]->newKey)};
        const int holder = m_byKey.value(key, -1);
        if ((holder >= 0 && !renamed(holder)) || given.contains(key))
            return false;
        given.insert(key, number);
    }
    // A node's number by its key once the move is made; -1 when none has it.
    const auto numberOf = [&](const QString &text) {
        const OutlineKey key{text};
        if (const auto found = given.constFind(key); found != given.cend())
            return found.value();
        const int holder = m_byKey.value(key, -1);
        return holder >= 0 && renamed(holder) ? -1 : holder;
    };

    // The new order, by ID as the rows are read: the nodes that keep their IDs are in that
    // order already, and the plan gives the changed ones in the order of their new IDs.
    const auto idOf = [&](int number) {
        return changeOf[number] ? changeOf[number]->newId : m_nodes[number].id;
    };
    const auto byId = [&](int a, int b) {
        return idOf(a) < idOf(b);
    };
    std::vector<int> kept;
    kept.reserve(static_cast<std::size_t>(total) - moved.size());
    for (int number = 0; number < total; ++number)
        if (!changeOf[number])
            kept.push_back(number);
    if (!std::is_sorted(kept.begin(), kept.end(), byId))
        std::sort(kept.begin(), kept.end(), byId);
    if (!std::is_sorted(moved.begin(), moved.end(), byId))
        std::sort(moved.begin(), moved.end(), byId);
    std::vector<int> order(static_cast<std::size_t>(total));
    std::merge(kept.begin(), kept.end(), moved.begin(), moved.end(), order.begin(), byId);
    std::vector<int> newNumber(static_cast<std::size_t>(total));
    for (int at = 0; at < total; ++at) {
        if (at > 0 && idOf(order[at - 1]) == idOf(order[at]))
            return false;
        newNumber[order[at]] = at;
    }
    // Each node's parent: a changed row's by its new key, any other's as it was; always before
    // the node.
    std::vector<int> parents(static_cast<std::size_t>(total));
    for (int at = 0; at < total; ++at) {
        const int old = order[at];
        int parent = m_nodes[old].parent >= 0 ? newNumber[m_nodes[old].parent] : -1;
        if (changeOf[old]) {
            const std::string parentKey = keys::parent(changeOf[old]->newKey);
            parent = -1;
            if (!parentKey.empty()) {
                const int number = numberOf(fromStored(parentKey));
                if (number < 0)
                    return false;
                parent = newNumber[number];
            }
        }
        if (parent >= at)
            return false;
        parents[at] = parent;
    }

    emit layoutAboutToBeChanged();
    const QModelIndexList before = persistentIndexList();
    for (auto entry = m_byKey.begin(); entry != m_byKey.end(); ++entry)
        entry.value() = newNumber[entry.value()];
    for (auto entry = given.cbegin(); entry != given.cend(); ++entry)
        m_byKey.remove(OutlineKey{m_nodes[entry.value()].key});
    for (auto entry = given.cbegin(); entry != given.cend(); ++entry)
        m_byKey.insert(entry.key(), newNumber[entry.value()]);
    std::vector<Node> nodes;
    nodes.reserve(static_cast<std::size_t>(total));
    m_topLevel.clear();
    for (int at = 0; at < total; ++at) {
        Node node = std::move(m_nodes[order[at]]);
        if (const moves::RowChange *change = changeOf[order[at]]) {
            node.id = change->newId;
            // A key that stays is stored as it was; a new one as the move wrote it.
            if (change->newKey != change->oldKey) {
                node.key = fromStored(change->newKey);
                node.storedKey = change->newKey;
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
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex &index : before)
        after.push_back(indexOf(newNumber[static_cast<std::size_t>(index.internalId())]));
    changePersistentIndexList(before, after);
    emit layoutChanged();
    return true;
}

void OutlineModel::beginBulk()
{
    beginResetModel();
    m_bulk = true;
    // A rebuild usually brings back about as many nodes as there were.
    m_nodes.reserve(m_peakCount);
    m_byKey.reserve(static_cast<qsizetype>(m_peakCount));
}

void OutlineModel::endBulk()
{
    m_peakCount = std::max(m_peakCount, m_nodes.size());
    m_bulk = false;
    endResetModel();
}

QString OutlineModel::fullPath(int number, const QString &separator) const
{
    std::vector<int> chain;
    for (int at = number; at >= 0; at = m_nodes[at].parent)
        chain.push_back(at);
    QString path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (!path.isEmpty() || it != chain.rbegin())
            path += separator;
        path += m_nodes[*it].text;
    }
    return path;
}

QModelIndex OutlineModel::indexOf(int number) const
{
    if (number < 0 || number >= count())
        return {};
    return createIndex(m_nodes[number].row, 0, quintptr(number));
}

int OutlineModel::numberOf(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != this)
        return -1;
    return static_cast<int>(index.internalId());
}

QModelIndex OutlineModel::index(int row, int column, const QModelIndex &parent) const
{
    const int parentNumber = parent.isValid() ? numberOf(parent) : -1;
    if (column != 0 || row < 0 || (parent.isValid() && parentNumber < 0))
        return {};
    const std::vector<int> &siblings =
        parentNumber >= 0 ? m_nodes[parentNumber].children : m_topLevel;
    if (row >= static_cast<int>(siblings.size()))
        return {};
    return createIndex(row, 0, quintptr(siblings[row]));
}

QModelIndex OutlineModel::parent(const QModelIndex &child) const
{
    const int number = numberOf(child);
    if (number < 0)
        return {};
    return indexOf(m_nodes[number].parent);
}

int OutlineModel::rowCount(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return static_cast<int>(m_topLevel.size());
    const int number = numberOf(parent);
    if (parent.column() != 0 || number < 0)
        return 0;
    return static_cast<int>(m_nodes[number].children.size());
}

int OutlineModel::columnCount(const QModelIndex &) const
{
    return 1;
}

QVariant OutlineModel::data(const QModelIndex &index, int role) const
{
    const int number = numberOf(index);
    if (number < 0)
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return m_nodes[number].text;
    return {};
}

bool OutlineModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    const int number = numberOf(index);
    if (number < 0 || role != Qt::EditRole)
        return false;
    // An edit that leaves the title as it was is no rename: nothing is stored, and no version.
    if (value.toString() == m_nodes[number].text)
        return true;
    m_nodes[number].text = value.toString();
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    emit titleEdited(number, m_nodes[number].text);
    return true;
}

Qt::ItemFlags OutlineModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsDragEnabled |
           Qt::ItemIsDropEnabled;
}

QStringList OutlineModel::mimeTypes() const
{
    return {kItemMimeType};
}

QMimeData *OutlineModel::mimeData(const QModelIndexList &indexes) const
{
    if (indexes.isEmpty() || numberOf(indexes.front()) < 0)
        return nullptr;
    auto *data = new QMimeData;
    data->setData(kItemMimeType,
                  m_nodes[static_cast<std::size_t>(numberOf(indexes.front()))].key.toUtf8());
    return data;
}

Qt::DropActions OutlineModel::supportedDropActions() const
{
    return Qt::MoveAction;
}

bool OutlineModel::canDropMimeData(const QMimeData *data, Qt::DropAction, int, int,
                                   const QModelIndex &) const
{
    return data && data->hasFormat(kItemMimeType);
}

} // namespace quillet
