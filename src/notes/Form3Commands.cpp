#include "dialogs/CdlgEx.h"
#include "notes/Form3.h"
#include "notes/editor/FontCommand.h"
#include "notes/editor/NoteEditor.h"
#include "notes/outline/OutlineView.h"
#include "notes/windows/FindWindow.h"
#include "notes/windows/HistoryWindow.h"
#include "notes/windows/NotePrinting.h"
#include "platform/Guard.h"
#include "platform/MessageBoxes.h"
#include "platform/WindowHandles.h"
#include "store/NoteStore.h"

#include <QGroupBox>

#include <algorithm>

// The notes window's commands: adding and deleting items (the outline's changes' own), the
// note's font and background, expanding the outline, finding, printing, the note's earlier
// versions, and the hidden panel's dialogs.

namespace quillet {

void Form3::Command4_Click()
{
    m_changes->addSibling();
}

void Form3::Command1_Click()
{
    m_changes->addChild();
}

void Form3::Command5_Click()
{
    m_changes->deleteSelected();
}

CdlgEx &Form3::dialog()
{
    if (!m_dialog)
        m_dialog = std::make_unique<CdlgEx>(m_platform);
    return *m_dialog;
}

void Form3::Command10_Click()
{
    // The format is stored in any case, a cancelled chooser's included.
    m_ui.Text1->setFormat(
        chooseFont(dialog(), m_ui.Text1->format(), windowHandles::handleOf(this)));
    SaveNoteFormat();
}

void Form3::Command9_Click()
{
    // The format is stored in any case, a cancelled chooser's included.
    m_ui.Text1->setFormat(
        chooseBackground(dialog(), m_ui.Text1->format(), windowHandles::handleOf(this)));
    SaveNoteFormat();
}

void Form3::Command2_Click()
{
    // Every item with children opens; no item closes. The flags reach the file with the
    // workspace.
    const int count = m_ui.TreeView1->count();
    for (int index = 1; index <= count; ++index)
        if (m_ui.TreeView1->children(index) > 0)
            m_ui.TreeView1->setExpanded(index, true);
}

void Form3::Command7_Click()
{
    // The binoculars open the find window; the click itself changes nothing.
    if (!m_session.isOpen())
        return;
    m_finding->open(m_session.searcher());
}

void Form3::Command11_Click()
{
    CdlgEx &files = dialog();
    files.setCancelError(false);
    files.setFilter(QStringLiteral("Text files|*.txt|All files|*.*"));
    files.ShowOpen();
    // The file is not opened; its path, or the one before a cancel, is shown.
    m_ui.Frame2->setTitle(files.FileName());
}

void Form3::Command12_Click()
{
    dialog().ShowPrinter();
}

void Form3::printNote()
{
    if (m_selection.isEmpty())
        return;
    printThroughDialog(m_platform, this, m_selection.Text, m_selection.FullPath,
                       m_ui.Text1->noteText(), m_ui.Text1->format());
}

void Form3::showHistory()
{
    if (m_selection.isEmpty() || !m_session.isOpen())
        return;
    HistoryWindow::showFor(m_session, m_selection.StoredKey, m_selection.Text,
                           m_ui.Text1->noteText(), this, [this](std::int64_t number) {
                               guarded(m_platform.messageBoxes, this,
                                       [&] { restoreVersion(number); });
                           });
}

void Form3::restoreVersion(std::int64_t number)
{
    // What the editor holds is stored first: the restore keeps it as a version, so that the
    // restore can be undone by restoring that version in turn.
    SaveNoteText();
    if (!m_session.restoreVersion(m_selection.StoredKey, number))
        return;
    m_notices.takeFrom(m_session);
    m_notices.sayThrough(m_unsaved);
    ShowNote();
}

} // namespace quillet
