#pragma once

#include <QAbstractItemModel>
#include <QHash>
#include <QString>

#include <string>
#include <vector>

namespace quillet {

struct OutlineChange;
struct OutlineRow;

// A key as the hash from keys to nodes holds it. Keys are a few characters of the key scheme,
// and the toolkit's own string hash, made to withstand chosen collisions, took a fifth of the
// outline's loading; a plain FNV-1a over the UTF-16 units serves these keys.
struct OutlineKey
{
    QString text;
    friend bool operator==(const OutlineKey &, const OutlineKey &) = default;
};

inline std::size_t qHash(const OutlineKey &key, std::size_t seed) noexcept
{
    std::size_t hash = 14695981039346656037ULL ^ seed;
    for (const QChar c : key.text)
        hash = (hash ^ c.unicode()) * 1099511628211ULL;
    return hash;
}

// The outline's nodes in one vector, in order of addition, each knowing its parent and its
// children, with a hash from key to node. Node numbers here are 0-based positions in that
// vector; the tree control above it speaks 1-based indices.
class OutlineModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    struct Node
    {
        QString key;
        QString text;
        std::string storedKey; // the key as its row stores it, spaces and all
        std::int64_t id = 0;   // the row's ID
        int parent = -1;       // node number of the parent, -1 at the top level
        int row = 0;           // position among the parent's children
        std::vector<int> children;
    };

    explicit OutlineModel(QObject *parent = nullptr);

    int count() const { return static_cast<int>(m_nodes.size()); }
    const Node &node(int number) const { return m_nodes[number]; }
    // The node numbers of the top-level items, in their order.
    const std::vector<int> &topLevel() const { return m_topLevel; }
    // The node number of a key (exact, case-sensitive), or -1.
    int find(const QString &key) const { return m_byKey.value(OutlineKey{key}, -1); }

    // Adds a node at the end of the top level (empty parentKey) or as the last child of the
    // node with parentKey. Throws std::invalid_argument when the key is empty or already
    // present, or the parent is not in the outline. Returns the new node's number. storedKey is
    // the key as the row stores it, when that differs from key.
    int add(const QString &key, const QString &text, const QString &parentKey,
            std::string storedKey = {}, std::int64_t id = 0);
    // Removes every node.
    void clear();

    // A change of the rows given to the nodes in place: the rows taken out leave with their
    // nodes, the changed rows' nodes take their new IDs and keys, and nodes are made for the rows
    // put in; every node then stands where loading the rows would put it (siblings by ID, under
    // the parent its key names), as one change of layout, so that the view keeps its open
    // items, selection and scrolling. False, changing nothing, when the change does not fit the
    // nodes as they are (a node not there or not of that row, a key taken, a parent missing or
    // after its child, a row put in that loading would leave out): the caller loads the outline
    // again instead.
    bool apply(const OutlineChange &change);

    // Many additions as one model reset: views re-read the model once at the end.
    void beginBulk();
    void endBulk();

    QString fullPath(int number, const QString &separator) const;
    QModelIndex indexOf(int number) const;
    int numberOf(const QModelIndex &index) const;

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    // An item dragged carries its key, in a type of its own: only the outline takes it.
    static inline const QString kItemMimeType = QStringLiteral("application/x-quillet-item");
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    Qt::DropActions supportedDropActions() const override;
    bool canDropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                         const QModelIndex &parent) const override;

signals:
    // A title was changed by in-place editing: the node number and the new title.
    void titleEdited(int number, const QString &text);

private:
    // The rows put in, appended after every node there is, as loading adds them; false,
    // changing nothing, when any of them does not come after every node or does not fit.
    bool appendRows(const std::vector<OutlineRow> &rows);

    std::vector<Node> m_nodes;
    std::vector<int> m_topLevel;
    QHash<OutlineKey, int> m_byKey;
    bool m_bulk = false;
    std::size_t m_peakCount = 0;
};

} // namespace quillet
