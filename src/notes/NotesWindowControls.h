#pragma once

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class QWidget;

namespace quillet {

class NoteEditor;
class OutlineView;

// The notes window's controls, with the names its design gives them, each at its place of the
// design in twips: the outline, the path line, the editor, the button panel, and the hidden
// panel that holds the selection record and the controls the program drives from code. The
// window owns them through this record; tests find them by their object names.
struct NotesWindowControls
{
    // The window's size at design time, in twips.
    static constexpr int kDesignWidth = 14340;
    static constexpr int kDesignHeight = 9465;

    // Makes every control as a child of the window, at its place, in the keyboard's order.
    void build(QWidget &window);

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
};

} // namespace quillet
