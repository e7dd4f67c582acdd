#pragma once

#include "notes/KeyNumbering.h"
#include "platform/Platform.h"
#include "store/NoteStore.h"
#include "store/Settings.h"

#include <QWidget>

#include <memory>

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QToolButton;
class QPushButton;

namespace quillet {

class CdlgEx;
class NoteEditor;
class OutlineView;

// The notes window: the path line, the outline, the note editor and the button panel.
class Form3 : public QWidget
{
    Q_OBJECT

public:
    // The window's size at design time, in twips.
    static constexpr int kDesignWidth = 14340;
    static constexpr int kDesignHeight = 9465;

    Form3(Platform &platform, Settings &settings, QWidget *parent = nullptr);
    ~Form3() override;

    // Clears settings positions 5 to 30, empties the outline, opens the database and loads the
    // outline. Throws DatabaseUnavailable when the file cannot serve; a row that cannot join the
    // outline is reported and the rows before it stay loaded.
    void Form_Load(const std::string &databasePath);

    NoteStore *store() { return m_store.get(); }

    // The current selection, kept in the captions of its four labels.
    QString selectionKey() const;
    QString selectionText() const;
    QString selectionIndex() const;
    QString selectionFullPath() const;

    // The outline procedures: one node per row of the table in ID order, and the emptying.
    void LoadTree();
    void ClearTree();
    // Shows the note of the selected key in the editor, in its stored or the default format.
    void ShowNote();
    // Stores the editor's whole text in the selected item's row.
    void SaveNoteText();
    // Stores a title edited in place in the selected item's row.
    void RenameNote(const QString &title);
    // Stores the expanded flag of every node and the settings, with positions 1 to 4 taken
    // from the top-level window's geometry and 5 from the selection. Nothing without a
    // selection.
    void SaveWorkspace();
    // Stores the editor's format (font name, size, colours, bold, italic) in the selected
    // item's row.
    void SaveNoteFormat();
    // The dialog component the window's commands share, made on first use.
    CdlgEx &dialog();

    // Closes the database connection: the last database operation of a run.
    void closeStore();

    // Closing has begun: a note that cannot be stored now is written to a recovery file.
    void setClosing(bool closing) { m_closing = closing; }
    // Text in the editor that the last save could not store.
    bool hasUnsavedText() const { return m_unsaved; }
    // Writes the editor's text to a file beside the database (or, failing that, in the home or
    // temporary folder) and returns its path; empty when no file could be written.
    QString writeRecoveryFile() const;

    // Controls, named as the window's design names them.
    OutlineView *TreeView1 = nullptr;
    NoteEditor *Text1 = nullptr;
    QLineEdit *Text2 = nullptr;
    QCheckBox *Check1 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *Label5 = nullptr;
    QLabel *Label6 = nullptr;
    QLabel *Label7 = nullptr;
    QFrame *Frame1 = nullptr;
    QGroupBox *Frame2 = nullptr;
    QToolButton *Command1 = nullptr;
    QToolButton *Command4 = nullptr;
    QToolButton *Command5 = nullptr;
    QToolButton *Command6 = nullptr;
    QToolButton *Command7 = nullptr;
    QToolButton *Command8 = nullptr;
    QToolButton *Command9 = nullptr;
    QToolButton *Command10 = nullptr;
    QPushButton *Command2 = nullptr;
    QPushButton *Command3 = nullptr;
    QPushButton *Command11 = nullptr;
    QPushButton *Command12 = nullptr;

private:
    void buildControls();
    NoteStore &openStore();
    void setSelection(int index);
    void applyDefaultFormat();
    void applyStoredFormat(const NoteRow &row);

    void addItem(const NewItem &item, const QString &prompt);
    void rebuildAndSelect(int index);
    bool unsavedTextStays();
    void selectEditedItem();

    void TreeView1_NodeClick(int index);
    void TreeView1_AfterLabelEdit(const QString &newString);
    void Text2_Change();
    void Text1_LostFocus();
    void Check1_Click();
    void Command4_Click();
    void Command1_Click();
    void Command5_Click();
    void Command10_Click();

    Platform &m_platform;
    Settings &m_settings;
    std::unique_ptr<NoteStore> m_store;
    std::unique_ptr<CdlgEx> m_dialog;
    std::string m_databasePath;
    bool m_unsaved = false;       // the editor holds text the last save could not store
    bool m_reportPending = false; // that failure's message is about to be shown
    bool m_closing = false;
};

// The note text as shown: the value as text without leading and trailing spaces (code 32);
// empty for a Null or a value that has no text.
QString TrimValue(const Value &value);

} // namespace quillet
