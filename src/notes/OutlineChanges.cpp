#include "notes/OutlineChanges.h"

#include "keeping/Deletions.h"
#include "notes/DeleteQuestion.h"
#include "notes/outline/CurrentSelection.h"
#include "notes/outline/KeyNumbering.h"
#include "notes/outline/OutlineLoader.h"
#include "notes/outline/OutlineShape.h"
#include "notes/outline/OutlineView.h"
#include "notes/windows/DeletedItemsWindow.h"
#include "notes/windows/ItemChooser.h"
#include "platform/Guard.h"
#include "platform/MessageBoxes.h"
#include "session/NotesSession.h"
#include "store/MovePlan.h"
#include "store/OutlineChange.h"
#include "store/StoreError.h"

#include <QScrollBar>
#include <QSet>

#include <algorithm>
#include <optional>
#include <system_error>

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

QString keyTakenMessage(const QString &key)
{
    return OutlineChanges::tr("No item was added: its key \"%1\" is already taken by a row that "
                              "the outline cannot show. quillet-db check names that row and its "
                              "problem.")
        .arg(key);
}

OutlineChange changeOf(const moves::Plan &plan)
{
    OutlineChange change;
    change.changed = plan.changes;
    return change;
}

} // namespace

OutlineChanges::OutlineChanges(Window &window, QWidget &parent, OutlineView &outline,
                               NotesSession &session, MessageBoxes &boxes)
    : QObject(&parent)
    , m_window(window)
    , m_parent(parent)
    , m_outline(outline)
    , m_session(session)
    , m_boxes(boxes)
{
}

OutlineChanges::~OutlineChanges() = default;

void OutlineChanges::moveSelected(moves::Step step)
{
    const CurrentSelection &selection = m_window.selection();
    if (selection.isEmpty() || m_window.unsavedTextStays())
        return;
    // A step that cannot be made says why, briefly and without a box: the key was pressed at
    // the edge of the siblings, out of the top level, or where the rules refuse.
    const moves::StepVerdict verdict =
        moves::stepTo(OutlineShape(m_outline.nodes()), selection.Key.toStdString(), step);
    if (!verdict.place) {
        m_window.sayBriefly(QString::fromStdString(verdict.refusal) + QLatin1Char('.'));
        return;
    }
    moveItem(selection.Key, *verdict.place);
}

bool OutlineChanges::moveItem(const QString &key, const moves::Place &place)
{
    if (m_session.isReadOnly()) {
        m_boxes.inform(&m_parent, QString(),
                       tr("The notes database is read-only, so the outline cannot be changed; "
                          "nothing was moved."),
                       MessageBoxes::Icon::None);
        return false;
    }
    // The note being typed is stored first, where it is.
    m_window.storeNote();
    moves::Plan plan;
    try {
        plan = m_session.moveItem(key.toStdString(), place);
    } catch (const moves::MoveRefused &refused) {
        m_boxes.inform(&m_parent, QString(), QString::fromUtf8(refused.what()),
                       MessageBoxes::Icon::None);
        return false;
    }
    showChange(changeOf(plan), QString::fromStdString(plan.newKey));
    forgetUndo({});
    m_undoMove = std::make_unique<moves::Plan>(std::move(plan));
    return true;
}

void OutlineChanges::showChange(const OutlineChange &change, const QString &selectKey, bool reveal)
{
    // The nodes following their rows keep what the view shows (open items, scrolling) as it
    // is; loading the outline again gives the same nodes, and is left for an outline that left
    // rows out, where a change may bring one back. It keeps them too.
    if (m_window.skippedRows().empty() && m_outline.nodes().apply(change)) {
        selectShown(selectKey, reveal);
        return;
    }
    const QSet<QString> open = openItems(m_outline, change);
    const int scrolled = m_outline.verticalScrollBar()->value();
    m_window.reloadOutline();
    for (int index = 1; index <= m_outline.count(); ++index)
        if (m_outline.children(index) > 0 &&
            m_outline.isExpanded(index) != open.contains(m_outline.key(index)))
            m_outline.setExpanded(index, !m_outline.isExpanded(index));
    m_outline.doItemsLayout();
    m_outline.verticalScrollBar()->setValue(scrolled);
    selectShown(selectKey, reveal);
}

void OutlineChanges::selectShown(const QString &key, bool reveal)
{
    const int index = std::max(m_outline.find(key), 1);
    if (reveal) {
        // The item's ancestors open, so that it shows where it went.
        for (int at = m_outline.parentOf(index); at != 0; at = m_outline.parentOf(at))
            m_outline.setExpanded(at, true);
    }
    m_outline.setFocus();
    // Selecting scrolls the view to the item; left where it was when the item is not shown.
    const int scrolled = m_outline.verticalScrollBar()->value();
    m_outline.select(index);
    if (reveal)
        m_outline.scrollTo(m_outline.modelIndexOf(index));
    else
        m_outline.verticalScrollBar()->setValue(scrolled);
    m_window.selectItem(index);
}

void OutlineChanges::add(const NewItem &item, const QString &prompt)
{
    // Refused as the tenth child is, the reason named.
    const int count = m_outline.count();
    if (const QString refusal = refusalOf(item, count); !refusal.isEmpty()) {
        m_boxes.inform(&m_parent, QString(), refusal, MessageBoxes::Icon::None);
        return;
    }
    // A row the outline leaves out may hold the key already; a second row with it would be
    // left out too, and the new item would never show.
    const std::string key = item.key.toStdString();
    const std::vector<SkippedRow> &skipped = m_window.skippedRows();
    if (std::any_of(skipped.begin(), skipped.end(),
                    [&](const SkippedRow &row) { return row.key == key; })) {
        m_boxes.inform(&m_parent, QString(), keyTakenMessage(item.key), MessageBoxes::Icon::None);
        return;
    }
    const MessageBoxes::Answer answer =
        m_boxes.ask(&m_parent, QStringLiteral("Attention"),
                    prompt + QLatin1Char('\n') + item.placeLabel + QStringLiteral(" >"),
                    MessageBoxes::Buttons::YesNo, MessageBoxes::Icon::Information);
    if (answer == MessageBoxes::Answer::No)
        return;
    OutlineChange added;
    try {
        added = m_session.addItem(
            key, (QStringLiteral("New Item #") + QString::number(count)).toStdString());
    } catch (const KeyTaken &) {
        // Another program added a row with this key meanwhile.
        m_boxes.inform(&m_parent, QString(), keyTakenMessage(item.key), MessageBoxes::Icon::None);
        return;
    }
    forgetUndo(tr("an item was added since"));
    showChange(added, item.key);
}

void OutlineChanges::addSibling()
{
    const CurrentSelection &selection = m_window.selection();
    if (selection.isEmpty() || m_window.unsavedTextStays())
        return;
    add(newSiblingItem(selection.Key, m_outline.nodes()), QStringLiteral("Add New Item in : "));
}

void OutlineChanges::addChild()
{
    const CurrentSelection &selection = m_window.selection();
    if (selection.isEmpty() || m_window.unsavedTextStays())
        return;
    add(newChildItem(selection.Key, selection.FullPath, m_outline.nodes()),
        QStringLiteral("Add New Subitem in : "));
}

void OutlineChanges::deleteSelected()
{
    const CurrentSelection &selection = m_window.selection();
    // Without a selection the prefix test would match every row.
    if (selection.isEmpty() || m_window.unsavedTextStays())
        return;
    if (selection.Key == QLatin1String("A")) {
        m_boxes.inform(&m_parent, QString(), QStringLiteral("No the first!"),
                       MessageBoxes::Icon::None);
        return;
    }
    const std::string key = selection.Key.toStdString();
    const std::vector<KeyedRow> rows = m_session.subtreeRows(key);
    const std::vector<KeyedRow> notShown =
        rowsNotShown(rows, m_outline.nodes(), m_window.skippedRows());
    // The rows under the item that the outline shows: all the delete takes, less the item's
    // own and those not shown.
    const std::size_t held = rows.size() - std::min(rows.size(), notShown.size() + 1);
    const QString question = deleteQuestion(selection.FullPath, held, notShown);
    const MessageBoxes::Answer answer =
        m_boxes.ask(&m_parent, QStringLiteral("Attention"), question, MessageBoxes::Buttons::YesNo,
                    MessageBoxes::Icon::Warning);
    if (answer == MessageBoxes::Answer::No)
        return;
    QString copy;
    OutlineChange taken;
    try {
        copy = QString::fromStdString(
            m_session.deleteWithCopy(key, selection.FullPath.toStdString(), &taken));
    } catch (const std::system_error &error) {
        m_boxes.inform(
            &m_parent, QStringLiteral("Quillet"),
            tr("The item was not deleted: its copy could not be kept in the folder \"deleted\" "
               "beside the notes database, and nothing is deleted without one.\n\n%1")
                .arg(QString::fromLocal8Bit(error.what())),
            MessageBoxes::Icon::Warning);
        return;
    }
    // The delete is what the undo puts back now. The first item is selected where the outline
    // shows it, without scrolling the outline away from where the user was.
    forgetUndo({});
    m_undoneDelete = copy;
    showChange(taken, QString(), false);
}

bool OutlineChanges::goTo(const QString &key)
{
    const int index = m_outline.find(key);
    if (index == 0) {
        m_boxes.inform(&m_parent, QStringLiteral("Quillet"),
                       tr("The item \"%1\" is no longer in the outline.").arg(key),
                       MessageBoxes::Icon::Information);
        return false;
    }
    // As a click on the item: the text being edited is stored first (a failure keeps it and
    // the selection where they are), then the item is selected and its note shown. Its
    // ancestors open, so that it can be seen.
    m_window.storeNote();
    for (int at = m_outline.parentOf(index); at != 0; at = m_outline.parentOf(at))
        m_outline.setExpanded(at, true);
    m_outline.select(index);
    m_outline.scrollTo(m_outline.modelIndexOf(index));
    m_window.itemClicked(index);
    return m_window.selection().Key == key;
}

void OutlineChanges::forgetUndo(const QString &why)
{
    m_undoMove.reset();
    m_undoneDelete.clear();
    m_undoBlocked = why;
}

QString OutlineChanges::undoText() const
{
    if (m_undoMove)
        return tr("&Undo the move");
    if (!m_undoneDelete.isEmpty())
        return tr("&Undo the delete");
    return m_undoBlocked.isEmpty() ? tr("Nothing to undo")
                                   : tr("Nothing to undo: %1").arg(m_undoBlocked);
}

void OutlineChanges::undo()
{
    if (m_window.selection().isEmpty() || m_window.unsavedTextStays())
        return;
    if (m_undoMove) {
        m_window.storeNote();
        const std::unique_ptr<moves::Plan> applied = std::move(m_undoMove);
        m_session.undoMove(*applied);
        const moves::Plan back = moves::reverse(*applied);
        showChange(changeOf(back), QString::fromStdString(back.newKey));
        m_undoBlocked = tr("the last change was undone");
        return;
    }
    if (!m_undoneDelete.isEmpty()) {
        // The rows go back with their own IDs and keys, as undelete puts them; their copy
        // takes a name that says it was put back.
        const QString copy = std::exchange(m_undoneDelete, QString());
        const deletions::Restored done = m_session.putBack(copy.toStdString());
        m_undoBlocked = tr("the last change was undone");
        showChange(OutlineChange::addedRows(done.rows), QString::fromStdString(done.key));
        return;
    }
    if (!m_undoBlocked.isEmpty())
        m_boxes.inform(&m_parent, QString(), undoText(), MessageBoxes::Icon::None);
}

void OutlineChanges::moveSelectedTo()
{
    const CurrentSelection &selection = m_window.selection();
    if (selection.isEmpty() || m_window.unsavedTextStays())
        return;
    // The places the move would refuse are greyed; the list starts on the item's parent, where
    // it is now.
    QString topRefusal;
    const std::vector<ChoosableItem> targets =
        moveTargets(m_outline.nodes(), selection.Key, topRefusal);
    const std::optional<QString> under =
        ItemChooser::choose(targets, parentKey(selection.Key), true,
                            tr("Move \"%1\" to").arg(selection.Text), &m_parent, topRefusal);
    if (!under)
        return;
    moveItem(selection.Key, under->isEmpty()
                                ? moves::Place{moves::Place::Kind::Top, {}}
                                : moves::Place{moves::Place::Kind::Under, under->toStdString()});
}

void OutlineChanges::showDeletedItems()
{
    if (!m_session.isOpen() || m_window.unsavedTextStays())
        return;
    m_window.storeNote();
    // Each restore shows in the outline at once, while the window stays open for more.
    DeletedItemsWindow::showFor(
        m_session, m_boxes, choosableItems(m_outline.nodes()), m_window.selection().Key, &m_parent,
        [this](const deletions::Restored &done) {
            forgetUndo(tr("deleted items were put back since"));
            showChange(OutlineChange::addedRows(done.rows), QString::fromStdString(done.key));
        });
}

} // namespace quillet
