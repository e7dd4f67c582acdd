#include "notes/Form3.h"
#include "notes/outline/OutlineView.h"
#include "platform/Guard.h"

#include <QKeySequence>
#include <QPointer>
#include <QShortcut>
#include <QToolButton>

// The notes window's keys for its commands. The outline's own keys and its menu are the
// outline's changes' (OutlineChanges).

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
}

} // namespace quillet
