#include "notes/OutlineChanges.h"
#include "notes/outline/CurrentSelection.h"
#include "notes/outline/OutlineShape.h"
#include "notes/outline/OutlineView.h"
#include "platform/Guard.h"
#include "session/NotesSession.h"
#include "store/MoveRules.h"

#include <QMenu>
#include <QShortcut>

// How the user reaches the outline's changes: the outline's own keys, its menu, and dragging.

namespace quillet {

void OutlineChanges::guarded(const std::function<void()> &action)
{
    quillet::guarded(m_boxes, &m_parent, action);
}

void OutlineChanges::wire()
{
    // The outline's own keys: moving the selected item as outliners do, and undoing; the
    // deleted items from anywhere in the window.
    const auto key = [this](const QKeySequence &keys, QWidget *where, auto action) {
        auto *shortcut = new QShortcut(keys, where);
        shortcut->setContext(where == &m_parent ? Qt::WidgetWithChildrenShortcut
                                                : Qt::WidgetShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, action] { guarded(action); });
    };
    key(QKeySequence(Qt::ALT | Qt::Key_Up), &m_outline, [this] { moveSelected(moves::Step::Up); });
    key(QKeySequence(Qt::ALT | Qt::Key_Down), &m_outline,
        [this] { moveSelected(moves::Step::Down); });
    key(QKeySequence(Qt::ALT | Qt::Key_Left), &m_outline,
        [this] { moveSelected(moves::Step::Out); });
    key(QKeySequence(Qt::ALT | Qt::Key_Right), &m_outline,
        [this] { moveSelected(moves::Step::In); });
    key(QKeySequence(Qt::CTRL | Qt::Key_M), &m_outline, [this] { moveSelectedTo(); });
    key(QKeySequence::Undo, &m_outline, [this] { undo(); });
    key(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D), &m_parent, [this] { showDeletedItems(); });

    m_outline.setContextMenuPolicy(Qt::CustomContextMenu);
    connect(&m_outline, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { guarded([&] { showMenu(at); }); });
    m_outline.setDropCheck(
        [this](const QString &key, const moves::Place &place) { return dropAllowed(key, place); });
    connect(&m_outline, &OutlineView::moveRequested, this,
            [this](const QString &key, const moves::Place &place) {
                guarded([&] { moveItem(key, place); });
            });
}

void OutlineChanges::showMenu(const QPoint &at)
{
    // The menu is the item's under the pointer: it is chosen first, as a click would.
    const QModelIndex under = m_outline.indexAt(at);
    if (under.isValid()) {
        const int index = OutlineView::indexOfNode(m_outline.nodes().numberOf(under));
        if (index != m_outline.selectedIndex()) {
            m_outline.select(index);
            m_window.itemClicked(index);
        }
    }
    QMenu menu(&m_parent);
    menu.setObjectName(QStringLiteral("outlineMenu"));
    const bool selected = !m_window.selection().isEmpty();
    const auto add = [&](const QString &text, const QKeySequence &keys, bool enabled, auto action) {
        QAction *entry = menu.addAction(text);
        entry->setShortcut(keys);
        entry->setEnabled(enabled);
        connect(entry, &QAction::triggered, this, [this, action] { guarded(action); });
        return entry;
    };
    // A step that cannot be made is greyed, why in its tooltip.
    const OutlineShape shape(m_outline.nodes());
    const std::string key = m_window.selection().Key.toStdString();
    const auto step = [&](const QString &text, const QKeySequence &keys, moves::Step step) {
        const moves::StepVerdict verdict = moves::stepTo(shape, key, step);
        QAction *entry = add(text, keys, selected && verdict.place.has_value(),
                             [this, step] { moveSelected(step); });
        if (selected && !verdict.place)
            entry->setToolTip(QString::fromStdString(verdict.refusal) + QLatin1Char('.'));
    };
    menu.setToolTipsVisible(true);
    step(tr("Move &up"), QKeySequence(Qt::ALT | Qt::Key_Up), moves::Step::Up);
    step(tr("Move &down"), QKeySequence(Qt::ALT | Qt::Key_Down), moves::Step::Down);
    step(tr("Move &out"), QKeySequence(Qt::ALT | Qt::Key_Left), moves::Step::Out);
    step(tr("Move &in"), QKeySequence(Qt::ALT | Qt::Key_Right), moves::Step::In);
    add(tr("Move &to…"), QKeySequence(Qt::CTRL | Qt::Key_M), selected,
        [this] { moveSelectedTo(); });
    menu.addSeparator();
    add(tr("&Rename"), QKeySequence(Qt::Key_F2), selected,
        [this] { m_outline.edit(m_outline.currentIndex()); });
    add(tr("&Add item"), QKeySequence(Qt::Key_Insert), selected, [this] { addSibling(); });
    add(tr("Add &subitem"), QKeySequence(Qt::CTRL | Qt::Key_Insert), selected,
        [this] { addChild(); });
    add(tr("De&lete"), QKeySequence(Qt::Key_Delete), selected, [this] { deleteSelected(); });
    menu.addSeparator();
    add(undoText(), QKeySequence::Undo, m_undoMove || !m_undoneDelete.isEmpty(),
        [this] { undo(); });
    add(tr("Deleted &items…"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D), true,
        [this] { showDeletedItems(); });
    menu.exec(m_outline.viewport()->mapToGlobal(at));
}

bool OutlineChanges::dropAllowed(const QString &key, const moves::Place &place) const
{
    // The rules of a move, read from the outline as shown: asked at every movement of the
    // pointer, so the file is not read. The move itself asks them again of the file.
    return !m_session.isReadOnly() &&
           moves::judge(OutlineShape(m_outline.nodes()), key.toStdString(), place).allowed();
}

} // namespace quillet
