#pragma once

#include "notes/FindNavigation.h"
#include "notes/HeldNotices.h"
#include "notes/NotesLayout.h"
#include "notes/NotesWindowControls.h"
#include "notes/OutlineChanges.h"
#include "notes/UnsavedText.h"
#include "notes/outline/CurrentSelection.h"
#include "notes/outline/OutlineLoader.h"
#include "notes/outline/OutlineView.h"
#include "platform/Platform.h"
#include "session/NotesSession.h"

#include <QWidget>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quillet {

class CdlgEx;
class NoteBytes;
class EditorSpelling;
struct NewItem;

// The notes window: the path line, the outline, the note editor and the button panel. Its
// controls are its own; the main window drives it through the methods below, and tests find
// the controls by their object names.
class Form3 : public QWidget, private OutlineChanges::Window
{
    Q_OBJECT

public:
    // The window's size at design time, in twips.
    static constexpr int kDesignWidth = NotesWindowControls::kDesignWidth;
    static constexpr int kDesignHeight = NotesWindowControls::kDesignHeight;

    Form3(Platform &platform, NotesSession &session, QWidget *parent = nullptr);
    ~Form3() override;

    // Clears settings positions 5 to 30, empties the outline, opens the session's database and
    // loads the outline. Throws NotesUnavailable when the file cannot serve; rows that cannot
    // join the outline are left out (skippedRows) and the others load.
    void Form_Load();

    // Selects the stored node index, as start-up does: through the hidden text box, whose
    // change selects that node (the first for 0 or less, none past the last) and shows its note.
    void restoreSelection(std::int32_t storedIndex);
    // Puts the stretching controls where the main window's resize wants them.
    void applyLayout(const NotesLayout &layout);
    // Closing has begun: stores the text being edited through the hidden auto-save box. A text
    // that cannot be stored now goes to a recovery file; the result then says so, and why, for
    // the close to report with its other failures. Nothing when the text was stored.
    std::optional<NoteKeptAside> saveBeforeClosing();
    // Text in the editor that the last save could not store.
    bool hasUnsavedText() const { return m_unsaved.has(); }
    // Stores the expanded flag of every node, and the settings with positions 1 to 4 from the
    // main window's geometry and 5 from the selection. Nothing without a selection.
    void SaveWorkspace(const WindowGeometry &geometry);

    // The outline procedures: one node per row of the table in ID order, and the emptying.
    void LoadTree();
    void ClearTree();
    // Whether the outline shows any item: with none, nothing can be added.
    bool hasItems() const;
    // The rows the last LoadTree left out, with their descendants, and why.
    const std::vector<SkippedRow> &skippedRows() const override { return m_skippedRows; }
    // Shows the note of the selected key in the editor, in its stored or the default format.
    void ShowNote();
    // Loads what spelling needs, in the background: once the window is on the screen.
    void startSpelling();

signals:
    // The door was clicked: the workspace is to be stored and the program to end at once.
    // noteFailure says what of the note could not be stored and where it went; empty when the
    // note was stored.
    void storeAndQuitRequested(const QString &noteFailure);
    // Something to say for a few seconds in the main window's status line, without a box.
    void saidBriefly(const QString &text);

private:
    // Makes node index the current selection, the four fields from that node, as a click, the
    // restore and the commands do before they show the note.
    void setCurrentSelection(int index);
    // Stores a title edited in place in the selected item's row.
    void RenameNote(const QString &title);
    void wireKeys();
    // What the outline's changes ask of the window (OutlineChanges).
    const CurrentSelection &selection() const override { return m_selection; }
    bool unsavedTextStays() override;
    void storeNote() override { SaveNoteText(); }
    void reloadOutline() override;
    void selectItem(int index) override;
    void itemClicked(int index) override { TreeView1_NodeClick(index); }
    void sayBriefly(const QString &text) override { emit saidBriefly(text); }
    // The dialog component the window's commands share, made on first use.
    CdlgEx &dialog();
    void selectEditedItem();
    void SaveNoteText();
    void storeTypedText();
    void SaveNoteFormat();

    void TreeView1_NodeClick(int index);
    void TreeView1_AfterLabelEdit(int number, const QString &newString);
    void Text2_Change();
    void Text1_LostFocus();
    void Text1_Change();
    void askAboutNoteBytes();
    void Check1_Click();
    // The hidden auto-save box's one press: stores the text being edited; at closing, a text
    // that cannot be stored goes to a recovery file, and the result says so.
    std::optional<NoteKeptAside> pressCheck1();
    void Command4_Click();
    void Command1_Click();
    void Command5_Click();
    void Command10_Click();
    void Command2_Click();
    void Command7_Click();
    void Command8_Click();
    void Command9_Click();
    void Command11_Click();
    void Command12_Click();
    void printNote();
    void showHistory();
    void restoreVersion(std::int64_t number);

    Platform &m_platform;
    NotesSession &m_session;
    std::unique_ptr<CdlgEx> m_dialog;
    CurrentSelection m_selection;
    std::vector<SkippedRow> m_skippedRows;
    FindNavigation *m_finding = nullptr; // the find window, and F3 through its matches
    UnsavedText m_unsaved;
    // Whether the note shown can be stored back as it came.
    std::unique_ptr<NoteBytes> m_noteBytes;
    // Whether this visit to the item stored its text, or its title, yet: the first of each
    // keeps what it replaces as a version.
    bool m_savedThisVisit = false;
    bool m_renamedThisVisit = false;
    HeldNotices m_notices;    // what the work behind the typing met, said when the editor is left
    NotesWindowControls m_ui; // the controls, named and placed as the design has them
    OutlineChanges *m_changes = nullptr; // the outline's adds, deletes, moves and undo
    EditorSpelling *m_spelling = nullptr;
};

} // namespace quillet
