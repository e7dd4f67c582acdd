#include "notes/FindNavigation.h"

#include "notes/editor/FoundMatches.h"
#include "notes/editor/NoteEditor.h"
#include "text/TextMatch.h"

#include <QShortcut>

#include <algorithm>

namespace quillet {

FindNavigation::FindNavigation(QWidget &window, NoteEditor &editor, const OutlineView &outline,
                               std::function<bool(const QString &)> goTo)
    : QObject(&window)
    , m_window(window)
    , m_editor(editor)
    , m_outline(outline)
    , m_goTo(std::move(goTo))
{
    keys(m_window);
}

void FindNavigation::keys(QWidget &where)
{
    auto *forward = new QShortcut(QKeySequence(Qt::Key_F3), &where);
    forward->setContext(Qt::WidgetWithChildrenShortcut);
    connect(forward, &QShortcut::activated, this, [this] { next(); });
    auto *back = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3), &where);
    back->setContext(Qt::WidgetWithChildrenShortcut);
    connect(back, &QShortcut::activated, this, [this] { previous(); });
}

void FindNavigation::open(const FindWindow::Search &search)
{
    if (!m_find) {
        m_find = new FindWindow(search, m_outline, &m_window);
        connect(m_find, &FindWindow::itemChosen, this,
                [this](const QString &key) { show(key, false); });
        // F3 and Shift+F3 go on from the find window as from the notes window.
        keys(*m_find);
    }
    m_find->showAndFocus();
}

void FindNavigation::outlineChanged()
{
    if (m_find)
        m_find->outlineChanged();
}

void FindNavigation::noteStored()
{
    if (m_find)
        m_find->noteStored();
}

void FindNavigation::show(const QString &key, bool last)
{
    if (!m_goTo(key) || !m_find)
        return;
    const SearchRequest looked = m_find->request();
    const std::vector<WordSpan> found =
        matchesIn(m_editor.toPlainText(), TextMatch(looked.query, looked.matchCase));
    // A title found, and no match in the note: the item is shown, the outline keeps the focus.
    if (!looked.notes || found.empty())
        return;
    m_editor.activateWindow();
    m_editor.setFocus();
    m_editor.markFound(last ? found.back() : found.front());
}

void FindNavigation::step(bool forward)
{
    if (!m_find || m_find->request().query.empty())
        return;
    const SearchRequest looked = m_find->request();
    if (looked.notes) {
        // On within the note shown: from the match marked, or from the caret.
        const std::vector<WordSpan> found =
            matchesIn(m_editor.toPlainText(), TextMatch(looked.query, looked.matchCase));
        const std::optional<WordSpan> marked = m_editor.markedFound();
        const qsizetype at = marked ? marked->start : m_editor.textCursor().position();
        const auto next =
            forward ? std::find_if(found.begin(), found.end(),
                                   [&](const WordSpan &match) {
                                       return marked ? match.start > at : match.start >= at;
                                   })
                    : std::find_if(found.rbegin(), found.rend(), [&](const WordSpan &match) {
                          return match.start < at;
                      }).base();
        if (forward && next != found.end()) {
            m_editor.setFocus();
            m_editor.markFound(*next);
            return;
        }
        if (!forward && next != found.begin()) {
            m_editor.setFocus();
            m_editor.markFound(*(next - 1));
            return;
        }
    }
    // Then on to the next or previous note found.
    if (const std::optional<QString> key = m_find->step(forward ? 1 : -1))
        show(*key, !forward);
}

} // namespace quillet
