#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QPoint;
class QWidget;

namespace quillet {

class CurrentSelection;
class MessageBoxes;
struct NewItem;
struct SkippedRow;
class NotesSession;
class OutlineView;
struct OutlineChange;
namespace moves {
struct Place;
struct Plan;
enum class Step;
} // namespace moves

// The notes window's changes of its outline: adding and deleting items, moving the selected
// item by the outline's keys and menu, under an item chosen, or by dragging it; the undo of the
// last move or delete; putting deleted items back; and the one way every change of rows
// reaches the outline, whose nodes follow their rows (or, where rows were left out at loading,
// which is loaded again keeping its open items). The window keeps the selection and the note,
// and is asked through Window.
class OutlineChanges : public QObject
{
    Q_OBJECT

public:
    // What the outline's changes ask of the notes window.
    class Window
    {
    public:
        // The item selected; empty when none.
        virtual const CurrentSelection &selection() const = 0;
        // Whether a text that could not be stored keeps the user in the editor: no change of
        // the outline may come before it is stored.
        virtual bool unsavedTextStays() = 0;
        // Stores the note being typed, where it is.
        virtual void storeNote() = 0;
        // Loads the outline again from the file; the rows loading left out.
        virtual void reloadOutline() = 0;
        virtual const std::vector<SkippedRow> &skippedRows() const = 0;
        // Makes the node with the index the selection and shows its note.
        virtual void selectItem(int index) = 0;
        // The user chose the node with the index, as a click on it does.
        virtual void itemClicked(int index) = 0;
        // Says something for a few seconds in the window's status line, without a box.
        virtual void sayBriefly(const QString &text) = 0;

    protected:
        ~Window() = default;
    };

    OutlineChanges(Window &window, QWidget &parent, OutlineView &outline, NotesSession &session,
                   MessageBoxes &boxes);
    ~OutlineChanges() override;

    // The outline's own keys (the moves, Ctrl+Z, Ctrl+Shift+D), its menu and its drops.
    void wire();

    // Adds an item beside the selected one, or under it, after asking, the reason said where
    // it cannot go, and selects it.
    void addSibling();
    void addChild();
    // Deletes the selected item and everything under it, after asking, once their copy is
    // kept; the undo puts them back.
    void deleteSelected();
    // Moves the item with the key to the place, the note being typed stored first; false when
    // the file is read-only or the move is refused (both said).
    bool moveItem(const QString &key, const moves::Place &place);
    // The outline after a change of its rows was stored, with the item with the key selected
    // (the first item when none has it) and, when reveal is set, shown: its ancestors opened
    // and scrolled to where needed. The items open on the screen stay open and the scrolling
    // stays as it was.
    void showChange(const OutlineChange &change, const QString &selectKey, bool reveal = true);
    // Selects the item with the key (the first item when it is gone), as showChange does.
    void selectShown(const QString &key, bool reveal = true);
    // Goes to the item with the key as a click on it does, opening its ancestors; says so when
    // it is gone. Whether the item is shown.
    bool goTo(const QString &key);

    // A change the undo cannot go back past: what it was, said when undo is asked for.
    void forgetUndo(const QString &why);

private:
    void guarded(const std::function<void()> &action);
    // The menu of the item under the pointer, chosen first as a click would.
    void showMenu(const QPoint &at);
    void add(const NewItem &item, const QString &prompt);
    void moveSelected(moves::Step step);
    void moveSelectedTo();
    void undo();
    void showDeletedItems();
    bool dropAllowed(const QString &key, const moves::Place &place) const;
    QString undoText() const;

    Window &m_window;
    QWidget &m_parent;
    OutlineView &m_outline;
    NotesSession &m_session;
    MessageBoxes &m_boxes;
    // The last move, which the undo puts back; the last delete's copy, likewise; why there is
    // none to undo.
    std::unique_ptr<moves::Plan> m_undoMove;
    QString m_undoneDelete;
    QString m_undoBlocked;
};

} // namespace quillet
