#include "notes/outline/OutlineView.h"

#include "store/MoveRules.h"

#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QTimer>

#include <algorithm>
#include <stdexcept>
#include <string>

namespace quillet {

OutlineView::OutlineView(QWidget *parent)
    : QTreeView(parent)
{
    setModel(&m_model);
    setHeaderHidden(true);
    // The column is as wide as the widest item shown, and at least as wide as the view: deep
    // items wider than the outline get a horizontal scroll bar instead of being cut. The items
    // are measured once they have changed (loaded, opened, closed, retitled, another font), not
    // on every click; a resize only fits the column to the view.
    header()->setStretchLastSection(false);
    connect(this, &QTreeView::expanded, this, &OutlineView::remeasure);
    connect(this, &QTreeView::collapsed, this, &OutlineView::remeasure);
    connect(&m_model, &QAbstractItemModel::modelReset, this, &OutlineView::remeasure);
    connect(&m_model, &QAbstractItemModel::rowsInserted, this, &OutlineView::remeasure);
    connect(&m_model, &QAbstractItemModel::layoutChanged, this, &OutlineView::remeasure);
    connect(&m_model, &QAbstractItemModel::dataChanged, this, &OutlineView::remeasure);
    // Every row has the same height: the view need not measure tens of thousands of rows.
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    // F2 or a slow second click on the selected item edits its title in place.
    setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    // Items are dragged to their new places; a closed item opens when the drag rests on it,
    // and the view scrolls near its edges.
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::MoveAction);
    setAutoExpandDelay(700);
    setAutoScroll(true);
}

std::optional<moves::Place> OutlineView::dropTarget(const QDropEvent &event, QString &dragged) const
{
    using Kind = moves::Place::Kind;
    if (!event.mimeData() || !event.mimeData()->hasFormat(OutlineModel::kItemMimeType))
        return std::nullopt;
    dragged = QString::fromUtf8(event.mimeData()->data(OutlineModel::kItemMimeType));
    const QModelIndex over = indexAt(event.position().toPoint());
    const int target = m_model.numberOf(over);
    if (target < 0)
        return moves::Place{Kind::Top, {}};
    const std::string key = m_model.node(target).key.toStdString();
    // Where the view's drop indicator points, as the last move over the view drew it.
    switch (dropIndicatorPosition()) {
    case AboveItem:
        return moves::Place{Kind::Before, key};
    case BelowItem:
        return moves::Place{Kind::After, key};
    case OnItem:
        return moves::Place{Kind::Under, key};
    case OnViewport:
        break;
    }
    return moves::Place{Kind::Top, {}};
}

void OutlineView::dragMoveEvent(QDragMoveEvent *event)
{
    // The view draws the indicator and scrolls; whether the place takes the item is ours.
    QTreeView::dragMoveEvent(event);
    QString dragged;
    const auto target = dropTarget(*event, dragged);
    if (!target || !m_dropCheck || !m_dropCheck(dragged, *target))
        event->ignore();
    else
        event->acceptProposedAction();
}

void OutlineView::dropEvent(QDropEvent *event)
{
    // The view's own drop would ask the model to insert rows; the outline is rebuilt from
    // the file instead, once the move is stored.
    QString dragged;
    const auto target = dropTarget(*event, dragged);
    stopAutoScroll();
    setState(NoState);
    viewport()->update();
    if (!target || !m_dropCheck || !m_dropCheck(dragged, *target)) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::MoveAction);
    event->accept();
    emit moveRequested(dragged, *target);
}

void OutlineView::remeasure()
{
    m_widestItem.reset();
    refit();
}

void OutlineView::refit()
{
    if (!m_fitPending) {
        m_fitPending = true;
        QTimer::singleShot(0, this, &OutlineView::fitColumn);
    }
}

void OutlineView::fitColumn()
{
    m_fitPending = false;
    if (!m_widestItem)
        m_widestItem = sizeHintForColumn(0);
    header()->resizeSection(0, std::max(viewport()->width(), *m_widestItem));
}

void OutlineView::resizeEvent(QResizeEvent *event)
{
    QTreeView::resizeEvent(event);
    // Fitted once the event loop runs again, like every other change: the first resize comes
    // as the window is shown. The items shown are as wide as before; only the view changed.
    refit();
}

void OutlineView::changeEvent(QEvent *event)
{
    QTreeView::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        remeasure();
}

int OutlineView::number(int index) const
{
    if (index < 1 || index > count())
        throw std::out_of_range("There is no outline item number " + std::to_string(index) + ".");
    return nodeOfIndex(index);
}

int OutlineView::parentOf(int index) const
{
    return indexOfNode(m_model.node(number(index)).parent);
}

QModelIndex OutlineView::modelIndexOf(int index) const
{
    return m_model.indexOf(number(index));
}

QString OutlineView::key(int index) const
{
    return m_model.node(number(index)).key;
}

const std::string &OutlineView::storedKey(int index) const
{
    return m_model.node(number(index)).storedKey;
}

QString OutlineView::text(int index) const
{
    return m_model.node(number(index)).text;
}

QString OutlineView::fullPath(int index) const
{
    return m_model.fullPath(number(index), kPathSeparator);
}

int OutlineView::children(int index) const
{
    return static_cast<int>(m_model.node(number(index)).children.size());
}

bool OutlineView::isExpanded(int index) const
{
    return QTreeView::isExpanded(m_model.indexOf(number(index)));
}

void OutlineView::setExpanded(int index, bool expanded)
{
    QTreeView::setExpanded(m_model.indexOf(number(index)), expanded);
}

void OutlineView::select(int index)
{
    const QModelIndex modelIndex = m_model.indexOf(number(index));
    m_selectingFromCode = true;
    selectionModel()->setCurrentIndex(modelIndex, QItemSelectionModel::ClearAndSelect);
    m_selectingFromCode = false;
    scrollTo(modelIndex);
}

int OutlineView::selectedIndex() const
{
    const int selected = m_model.numberOf(selectionModel()->currentIndex());
    return selected < 0 ? 0 : indexOfNode(selected);
}

void OutlineView::selectionChanged(const QItemSelection &selected, const QItemSelection &deselected)
{
    QTreeView::selectionChanged(selected, deselected);
    // A mouse press or a key selects a node. Code selecting a node does not count as a click,
    // and neither does the view making a node current, unselected, when it takes the focus.
    if (m_selectingFromCode || selected.indexes().isEmpty())
        return;
    const int number = m_model.numberOf(selected.indexes().first());
    if (number >= 0)
        emit nodeClicked(indexOfNode(number));
}

} // namespace quillet
