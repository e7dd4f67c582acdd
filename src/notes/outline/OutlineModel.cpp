#include "notes/outline/OutlineModel.h"

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
