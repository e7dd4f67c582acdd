#include "keeping/Deletions.h"
#include "notes/Form3.h"
#include "notes/outline/OutlineShape.h"
#include "notes/outline/OutlineView.h"
#include "notes/windows/DeletedItemsWindow.h"
#include "notes/windows/FindWindow.h"
#include "notes/windows/ItemChooser.h"
#include "platform/Guard.h"
#include "platform/MessageBoxes.h"
#include "store/Moves.h"
#include "store/OutlineChange.h"

#include <QSet>

#include <algorithm>
#include <optional>

// The notes window's reorganising of the outline: moving the selected item up or down among
// its siblings, out of its parent, into the item above it, or to any item, by key, by the
// outline's menu or by dragging; and the undo of the last move or delete.

namespace quillet {

namespace {

// The keys of the open items, each as it reads once the change is made: a changed row's by its
// new key.
QSet<QString> openItems(const OutlineView &outline, const OutlineChange &change)
{
    QHash<QString, QString> renamed;
    for (const moves::RowChange &row : change.changed)
        if (row.newKey != row.oldKey)
            renamed.insert(QString::fromStdString(row.oldKey), QString::fromStdString(row.newKey));
    QSet<QString> open;
    for (int index = 1; index <= outline.count(); ++index)
        if (outline.isExpanded(index))
            open.insert(renamed.value(outline.key(index), outline.key(index)));
    return open;
}

OutlineChange changeOf(const moves::Plan &plan)
{
    OutlineChange change;
    change.changed = plan.changes;
    return change;
}

} // namespace

void Form3::moveSelected(moves::Step step)
{
    if (m_selection.isEmpty() || unsavedTextStays())
        return;
    // At the edge of its siblings (or at the top level, for out) there is nowhere to go.
    if (const std::optional<moves::Place> place = moves::placeOf(
            OutlineShape(m_ui.TreeView1->nodes()), m_selection.Key.toStdString(), step))
        moveItem(m_selection.Key, *place);
}

bool Form3::moveItem(const QString &key, const moves::Place &place)
{
    if (m_session.isReadOnly()) {
        m_platform.messageBoxes.inform(this, QString(),
                                       tr("The notes database is read-only, so the outline cannot "
                                          "be changed; nothing was moved."),
                                       MessageBoxes::Icon::None);
        return false;
    }
    // The note being typed is stored first, where it is.
    SaveNoteText();
    moves::Plan plan;
    try {
        plan = m_session.moveItem(key.toStdString(), place);
    } catch (const moves::MoveRefused &refused) {
        m_platform.messageBoxes.inform(this, QString(), QString::fromUtf8(refused.what()),
                                       MessageBoxes::Icon::None);
        return false;
    }
    showChange(changeOf(plan), QString::fromStdString(plan.newKey));
    forgetUndo({});
    m_undoMove = std::make_unique<moves::Plan>(std::move(plan));
    return true;
}

void Form3::rebuildAndSelect(int index)
{
    ClearTree();
    LoadTree();
    m_ui.TreeView1->setFocus();
    m_ui.TreeView1->select(index);
    setCurrentSelection(index);
    ShowNote();
    if (m_find)
        m_find->outlineChanged();
}

void Form3::showChange(const OutlineChange &change, const QString &selectKey)
{
    // The nodes following their rows keep what the view shows (open items, scrolling) as it
    // is; loading the outline again gives the same nodes, and is left for an outline that left
    // rows out, where a change may bring one back.
    if (m_skippedRows.empty() && m_ui.TreeView1->nodes().apply(change)) {
        selectShown(selectKey);
        return;
    }
    rebuildKeepingOpen(openItems(*m_ui.TreeView1, change), selectKey);
}

void Form3::rebuildKeepingOpen(const QSet<QString> &open, const QString &selectKey)
{
    ClearTree();
    LoadTree();
    OutlineView &outline = *m_ui.TreeView1;
    for (int index = 1; index <= outline.count(); ++index)
        if (outline.children(index) > 0 &&
            outline.isExpanded(index) != open.contains(outline.key(index)))
            outline.setExpanded(index, !outline.isExpanded(index));
    selectShown(selectKey);
}

void Form3::selectShown(const QString &key)
{
    OutlineView &outline = *m_ui.TreeView1;
    const int index = std::max(outline.find(key), 1);
    // The item's ancestors open, so that it shows where it went.
    for (int at = outline.parentOf(index); at != 0; at = outline.parentOf(at))
        outline.setExpanded(at, true);
    outline.setFocus();
    outline.select(index);
    outline.scrollTo(outline.modelIndexOf(index));
    setCurrentSelection(index);
    ShowNote();
    if (m_find)
        m_find->outlineChanged();
}

void Form3::forgetUndo(const QString &why)
{
    m_undoMove.reset();
    m_undoneDelete.clear();
    m_undoBlocked = why;
}

QString Form3::undoText() const
{
    if (m_undoMove)
        return tr("&Undo the move");
    if (!m_undoneDelete.isEmpty())
        return tr("&Undo the delete");
    return m_undoBlocked.isEmpty() ? tr("Nothing to undo")
                                   : tr("Nothing to undo: %1").arg(m_undoBlocked);
}

void Form3::undoOutlineChange()
{
    if (m_selection.isEmpty() || unsavedTextStays())
        return;
    if (m_undoMove) {
        SaveNoteText();
        const std::unique_ptr<moves::Plan> applied = std::move(m_undoMove);
        m_session.undoMove(*applied);
        const moves::Plan back = moves::reverse(*applied);
        showChange(changeOf(back), QString::fromStdString(back.newKey));
        m_undoBlocked = tr("the last change was undone");
        return;
    }
    if (!m_undoneDelete.isEmpty()) {
        undoDelete();
        return;
    }
    if (!m_undoBlocked.isEmpty())
        m_platform.messageBoxes.inform(this, QString(), undoText(), MessageBoxes::Icon::None);
}

void Form3::undoDelete()
{
    // The rows go back with their own IDs and keys, as undelete puts them; their copy takes a
    // name that says it was put back.
    const QString copy = std::exchange(m_undoneDelete, QString());
    const deletions::Restored done = m_session.putBack(copy.toStdString());
    m_undoBlocked = tr("the last change was undone");
    showChange(OutlineChange::addedRows(done.rows), QString::fromStdString(done.key));
}

void Form3::moveSelectedTo()
{
    if (m_selection.isEmpty() || unsavedTextStays())
        return;
    const std::optional<QString> under =
        ItemChooser::choose(choosableItems(m_ui.TreeView1->nodes()), m_selection.Key, true,
                            tr("Move \"%1\" to").arg(m_selection.Text), this);
    if (!under)
        return;
    moveItem(m_selection.Key, under->isEmpty()
                                  ? moves::Place{moves::Place::Kind::Top, {}}
                                  : moves::Place{moves::Place::Kind::Under, under->toStdString()});
}

void Form3::showDeletedItems()
{
    if (!m_session.isOpen() || unsavedTextStays())
        return;
    SaveNoteText();
    // Each restore shows in the outline at once, while the window stays open for more.
    DeletedItemsWindow::showFor(
        m_session, m_platform.messageBoxes, choosableItems(m_ui.TreeView1->nodes()),
        m_selection.Key, this, [this](const deletions::Restored &done) {
            forgetUndo(tr("deleted items were put back since"));
            showChange(OutlineChange::addedRows(done.rows), QString::fromStdString(done.key));
        });
}

} // namespace quillet
