#pragma once

#include "notes/windows/FindWindow.h"

#include <QObject>
#include <QString>

#include <functional>

class QWidget;

namespace quillet {

class NoteEditor;
class OutlineView;

// The find window and going from its matches to the note. The item chosen (Enter or a double
// click) is shown with the caret at the start of its note's first match, the match marked in
// the find colour and scrolled into view, and the focus in the editor. F3 and Shift+F3, in the
// notes window or the find window, go to the next and previous match: through every match of
// the note, then on to the next and previous note found.
class FindNavigation : public QObject
{
    Q_OBJECT

public:
    // goTo shows the item with the key as a click on it does; false when it is not there.
    FindNavigation(QWidget &window, NoteEditor &editor, const OutlineView &outline,
                   std::function<bool(const QString &key)> goTo);

    // Shows the find window in front, made on first use, searching through search.
    void open(const FindWindow::Search &search);
    // The outline changed, or a note was stored: the find window searches again.
    void outlineChanged();
    void noteStored();
    void next() { step(true); }
    void previous() { step(false); }

private:
    // F3 and Shift+F3 in the window and everything in it.
    void keys(QWidget &where);
    void step(bool forward);
    // Shows the item with the key and marks its note's first match (its last when going back).
    void show(const QString &key, bool last);

    QWidget &m_window;
    NoteEditor &m_editor;
    const OutlineView &m_outline;
    std::function<bool(const QString &)> m_goTo;
    FindWindow *m_find = nullptr;
};

} // namespace quillet
