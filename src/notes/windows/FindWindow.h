#pragma once

#include "platform/BackgroundWork.h"
#include "store/NoteSearch.h"

#include <QDialog>

#include <atomic>
#include <functional>
#include <optional>
#include <string>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QRadioButton;
class QTimer;

namespace quillet {

class OutlineView;

// The find window: a search field, titles only or titles and notes, match case, and the
// matches as the user types, each with its item's full path and, in a note, the line around
// it with the match marked. Choosing a match (Enter or a double click) asks for its item.
// Searches run on a thread of their own; the next keystroke stops the one under way.
class FindWindow : public QDialog
{
    Q_OBJECT

public:
    // The search runs as search says, on a thread of its own (NotesSession::searcher).
    using Search = std::function<SearchResults(const SearchRequest &, const std::atomic<bool> &)>;
    FindWindow(Search search, const OutlineView &outline, QWidget *parent = nullptr);
    ~FindWindow() override;

    // Shows the window in front, with the search field ready for typing.
    void showAndFocus();
    // The outline changed (an item added, deleted or renamed): while the window is shown, the
    // search runs again at once, so that no match leads to an item that is gone or another one.
    void outlineChanged();
    // A note was stored: while the window is shown, the search runs again, at most once a
    // second while the user types.
    void noteStored();
    // What is looked for, as the last search was asked.
    SearchRequest request() const;
    // Highlights the match one row on (forward) or back from the one highlighted, passing over
    // matches of items gone, and gives its item's key; nothing past the first or the last.
    std::optional<QString> step(int direction);

signals:
    // A match was chosen: the key of its item, without surrounding spaces.
    void itemChosen(const QString &key);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void search();
    void searchAgain();
    void showResults(quint64 generation, const SearchResults &results);
    void choose(QListWidgetItem *item);

    Search m_searchNotes;
    const OutlineView &m_outline;
    QLineEdit *m_query = nullptr;
    QRadioButton *m_titles = nullptr;
    QRadioButton *m_notes = nullptr;
    QCheckBox *m_matchCase = nullptr;
    QListWidget *m_results = nullptr;
    QLabel *m_status = nullptr;

    quint64 m_generation = 0;
    // The match highlighted when the search ran again: its item's key and line.
    QString m_keptKey;
    QString m_keptText;
    QTimer *m_afterTyping = nullptr;
    // Last, so that it is destroyed first: a search under way stops before the window goes.
    BackgroundWork m_search{this};
};

} // namespace quillet
