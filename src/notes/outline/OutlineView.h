#pragma once

#include "notes/outline/OutlineModel.h"

#include <QTreeView>

#include <functional>
#include <optional>

// Signals carry a place of a move; their code is compiled where the rules are known.
Q_MOC_INCLUDE("store/MoveRules.h")

namespace quillet {

namespace moves {
struct Place;
} // namespace moves

// The outline control: a tree view over OutlineModel offering the node collection the notes
// window works with. Indices are 1-based in order of addition; an index outside 1..count() is
// an error (std::out_of_range).
class OutlineView : public QTreeView
{
    Q_OBJECT

public:
    static inline const QString kPathSeparator = QStringLiteral(" > ");

    explicit OutlineView(QWidget *parent = nullptr);

    OutlineModel &nodes() { return m_model; }
    const OutlineModel &nodes() const { return m_model; }

    // The model numbers its nodes from 0, the view its indices from 1: the one conversion.
    static constexpr int indexOfNode(int number) { return number + 1; }
    static constexpr int nodeOfIndex(int index) { return index - 1; }

    int count() const { return m_model.count(); }
    // The index of the node with the key (exact, case-sensitive), or 0 when there is none.
    int find(const QString &key) const { return indexOfNode(m_model.find(key)); }
    // The index of the node's parent, or 0 for a top-level node.
    int parentOf(int index) const;
    // The model's index of node index, for scrolling to it or clicking it.
    QModelIndex modelIndexOf(int index) const;
    QString key(int index) const;
    // The key as the node's row stores it: what finds the row.
    const std::string &storedKey(int index) const;
    QString text(int index) const;
    QString fullPath(int index) const;
    int children(int index) const;
    bool isExpanded(int index) const;
    void setExpanded(int index, bool expanded);
    // Makes node index the tree's selection, as code does: no nodeClicked is raised.
    void select(int index);
    // The selected node's index, or 0.
    int selectedIndex() const;

    // Says whether the item with the key may go to the place, as the pointer moves: a place
    // refused shows the no-drop pointer. Asked often, so it must be quick.
    using DropCheck = std::function<bool(const QString &key, const moves::Place &place)>;
    void setDropCheck(DropCheck check) { m_dropCheck = std::move(check); }

signals:
    // The user selected a node, with the mouse or the keyboard.
    void nodeClicked(int index);
    // An item was dropped on a place it may go to.
    void moveRequested(const QString &key, const moves::Place &place);

protected:
    void selectionChanged(const QItemSelection &selected,
                          const QItemSelection &deselected) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    int number(int index) const;
    // Fits the column to the items shown, once the event loop runs again; remeasure() measures
    // the items again first (they changed), refit() only the view (it was resized).
    void remeasure();
    void refit();
    void fitColumn();

    OutlineModel m_model;
    bool m_selectingFromCode = false;
    bool m_fitPending = false;
    std::optional<int> m_widestItem; // the widest item shown, as last measured
    DropCheck m_dropCheck;
    // The place a drag over the viewport points at, and the key dragged; nothing when none.
    std::optional<moves::Place> dropTarget(const QDropEvent &event, QString &dragged) const;
};

} // namespace quillet
