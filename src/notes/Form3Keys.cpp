#include "notes/Form3.h"
#include "notes/outline/OutlineView.h"
#include "platform/Guard.h"
#include "store/MoveRules.h"

#include <QKeySequence>
#include <QMenu>
#include <QPointer>
#include <QShortcut>
#include <QToolButton>

// The notes window's keys for its commands, and the outline's menu.

namespace quillet {

void Form3::wireKeys()
{
    // Keys for the commands: each presses its button, which takes the focus first, so the
    // text being typed is stored before the command acts, as with a click. The focus then goes
    // back where it was, unless the command put it elsewhere (an add or a delete puts it on the
    // outline, at the new selection; the find window takes it): a key leaves no button holding
    // the keys that follow.
    const auto key = [this](const QKeySequence &keys, QWidget *where, auto action) {
        auto *shortcut = new QShortcut(keys, where);
        shortcut->setContext(where == this ? Qt::WidgetWithChildrenShortcut : Qt::WidgetShortcut);
        connect(shortcut, &QShortcut::activated, this, action);
    };
    const auto press = [this](QAbstractButton *button) {
        return [this, button] {
            const QPointer<QWidget> before = window()->focusWidget();
            button->setFocus(Qt::ShortcutFocusReason);
            button->click();
            if (before && before != button && window()->focusWidget() == button)
                before->setFocus(Qt::ShortcutFocusReason);
        };
    };
    key(QKeySequence(Qt::Key_Insert), this, press(m_ui.Command4));
    key(QKeySequence(Qt::CTRL | Qt::Key_Insert), this, press(m_ui.Command1));
    key(QKeySequence(Qt::Key_Delete), m_ui.TreeView1, press(m_ui.Command5));
    key(QKeySequence(Qt::CTRL | Qt::Key_F), this, press(m_ui.Command7));
    key(QKeySequence(Qt::CTRL | Qt::Key_P), this,
        [this] { guarded(m_platform.messageBoxes, this, [&] { printNote(); }); });
    key(QKeySequence(Qt::CTRL | Qt::Key_H), this,
        [this] { guarded(m_platform.messageBoxes, this, [&] { showHistory(); }); });

    // The outline's own keys: moving the selected item as outliners do, and undoing.
    const auto outlineKey = [&](const QKeySequence &keys, auto action) {
        key(keys, m_ui.TreeView1,
            [this, action] { guarded(m_platform.messageBoxes, this, [&] { action(); }); });
    };
    outlineKey(QKeySequence(Qt::ALT | Qt::Key_Up), [this] { moveSelected(moves::Step::Up); });
    outlineKey(QKeySequence(Qt::ALT | Qt::Key_Down), [this] { moveSelected(moves::Step::Down); });
    outlineKey(QKeySequence(Qt::ALT | Qt::Key_Left), [this] { moveSelected(moves::Step::Out); });
    outlineKey(QKeySequence(Qt::ALT | Qt::Key_Right), [this] { moveSelected(moves::Step::In); });
    outlineKey(QKeySequence(Qt::CTRL | Qt::Key_M), [this] { moveSelectedTo(); });
    outlineKey(QKeySequence::Undo, [this] { undoOutlineChange(); });
    key(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D), this,
        [this] { guarded(m_platform.messageBoxes, this, [&] { showDeletedItems(); }); });

    m_ui.TreeView1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_ui.TreeView1, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        guarded(m_platform.messageBoxes, this, [&] { showOutlineMenu(at); });
    });
}

void Form3::showOutlineMenu(const QPoint &at)
{
    OutlineView &outline = *m_ui.TreeView1;
    // The menu is the item's under the pointer: it is chosen first, as a click would.
    const QModelIndex under = outline.indexAt(at);
    if (under.isValid()) {
        const int index = OutlineView::indexOfNode(outline.nodes().numberOf(under));
        if (index != outline.selectedIndex()) {
            outline.select(index);
            TreeView1_NodeClick(index);
        }
    }
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("outlineMenu"));
    const bool selected = !m_selection.isEmpty();
    const auto add = [&](const QString &text, const QKeySequence &keys, bool enabled, auto action) {
        QAction *entry = menu.addAction(text);
        entry->setShortcut(keys);
        entry->setEnabled(enabled);
        connect(entry, &QAction::triggered, this,
                [this, action] { guarded(m_platform.messageBoxes, this, [&] { action(); }); });
        return entry;
    };
    add(tr("Move &up"), QKeySequence(Qt::ALT | Qt::Key_Up), selected,
        [this] { moveSelected(moves::Step::Up); });
    add(tr("Move &down"), QKeySequence(Qt::ALT | Qt::Key_Down), selected,
        [this] { moveSelected(moves::Step::Down); });
    add(tr("Move &out"), QKeySequence(Qt::ALT | Qt::Key_Left), selected,
        [this] { moveSelected(moves::Step::Out); });
    add(tr("Move &in"), QKeySequence(Qt::ALT | Qt::Key_Right), selected,
        [this] { moveSelected(moves::Step::In); });
    add(tr("Move &to…"), QKeySequence(Qt::CTRL | Qt::Key_M), selected,
        [this] { moveSelectedTo(); });
    menu.addSeparator();
    add(tr("&Rename"), QKeySequence(Qt::Key_F2), selected,
        [this] { m_ui.TreeView1->edit(m_ui.TreeView1->currentIndex()); });
    add(tr("&Add item"), QKeySequence(Qt::Key_Insert), selected,
        [this] { m_ui.Command4->click(); });
    add(tr("Add &subitem"), QKeySequence(Qt::CTRL | Qt::Key_Insert), selected,
        [this] { m_ui.Command1->click(); });
    add(tr("De&lete"), QKeySequence(Qt::Key_Delete), selected, [this] { m_ui.Command5->click(); });
    menu.addSeparator();
    add(undoText(), QKeySequence::Undo, m_undoMove || !m_undoneDelete.isEmpty(),
        [this] { undoOutlineChange(); });
    add(tr("Deleted &items…"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D), true,
        [this] { showDeletedItems(); });
    menu.exec(outline.viewport()->mapToGlobal(at));
}

} // namespace quillet
