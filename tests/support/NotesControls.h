#pragma once

#include "notes/Form3.h"
#include "notes/editor/NoteEditor.h"
#include "notes/outline/OutlineView.h"

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextDocumentFragment>
#include <QToolButton>

#include <stdexcept>
#include <string>

namespace quillet::test {

// The control of a window that has this object name and type; throws when there is none, so
// that a renamed control fails the test that drives it.
template <class Control>
Control *control(const QWidget &window, const char *name)
{
    auto *found = window.findChild<Control *>(QString::fromLatin1(name));
    if (!found)
        throw std::logic_error(std::string("the window has no control named ") + name);
    return found;
}

// The selection record as the notes window shows it, read from the labels that hold it: the
// key, the title and the index in the hidden panel, the path in the path line (whole in its
// tooltip when the line shortens it).
struct ShownSelection
{
    QString Key;
    QString Text;
    QString Index;
    QString FullPath;
};

inline ShownSelection selectionOf(const QWidget &form)
{
    const QLabel *path = control<QLabel>(form, "Label3");
    return {control<QLabel>(form, "Label1")->text(), control<QLabel>(form, "Label2")->text(),
            control<QLabel>(form, "Label6")->text(),
            path->toolTip().isEmpty()
                ? path->text()
                : QTextDocumentFragment::fromHtml(path->toolTip()).toPlainText()};
}

// The notes window's controls, found by name, for driving it as a user does.
struct NotesControls
{
    explicit NotesControls(const Form3 &form)
        : TreeView1(control<OutlineView>(form, "TreeView1"))
        , Text1(control<NoteEditor>(form, "Text1"))
        , Text2(control<QLineEdit>(form, "Text2"))
        , Check1(control<QCheckBox>(form, "Check1"))
        , Label3(control<QLabel>(form, "Label3"))
        , Frame1(control<QFrame>(form, "Frame1"))
        , Command1(control<QToolButton>(form, "Command1"))
        , Command4(control<QToolButton>(form, "Command4"))
        , Command5(control<QToolButton>(form, "Command5"))
        , Command10(control<QToolButton>(form, "Command10"))
    {
    }

    OutlineView *TreeView1;
    NoteEditor *Text1;
    QLineEdit *Text2;
    QCheckBox *Check1;
    QLabel *Label3;
    QFrame *Frame1;
    QToolButton *Command1;
    QToolButton *Command4;
    QToolButton *Command5;
    QToolButton *Command10;
};

} // namespace quillet::test
