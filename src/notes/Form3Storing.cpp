#include "notes/Form3.h"
#include "notes/editor/NoteBytes.h"
#include "notes/editor/NoteEditor.h"
#include "notes/outline/OutlineView.h"
#include "notes/windows/FindWindow.h"
#include "platform/Guard.h"
#include "platform/MessageBoxes.h"
#include "store/NoteStore.h"

#include <QCheckBox>
#include <QSignalBlocker>
#include <QTimer>

#include <stdexcept>

// The notes window's storing of what the user changes: the note's text (on leaving the editor,
// after a pause in typing, through the auto-save box), a title edited in place, the note's
// format, and the workspace, with the door that stores it and ends the program.

namespace quillet {

void Form3::Text1_LostFocus()
{
    // The close stores the text itself, and says what failed in one message.
    if (m_unsaved.closing())
        return;
    // Leaving the editor for another item or a button: that control acts next, in the same
    // user action. A failed save is shown once, after it, and meanwhile keeps the text.
    try {
        SaveNoteText();
    } catch (const std::exception &error) {
        m_unsaved.reportLater(QString::fromUtf8(error.what()));
        return;
    }
    // What the saves while typing met is said now that the typing is over.
    m_notices.sayThrough(m_unsaved);
}

void Form3::Text1_Change()
{
    // The first change of a note whose bytes cannot come back from the editor is asked about
    // once the keystroke is over; until the user agrees, nothing of it is stored.
    if (m_noteBytes->needsAsking()) {
        m_noteBytes->asking();
        QTimer::singleShot(0, this, [this] {
            guarded(m_platform.messageBoxes, this, [&] { askAboutNoteBytes(); });
        });
    }
    m_unsaved.typed();
}

void Form3::askAboutNoteBytes()
{
    const QString backup = QString::fromStdString(
        m_session.newestBackupHolding(m_selection.StoredKey, m_noteBytes->stored()));
    if (m_noteBytes->ask(m_platform.messageBoxes, this, m_selection.FullPath, backup)) {
        // Saves met while the question was open stored nothing: the text goes after a pause.
        if (m_ui.Text1->isChanged())
            m_unsaved.typed();
        return;
    }
    // The note stays exactly as stored, and takes no typing until an item is chosen again.
    m_ui.Text1->revert();
    m_ui.Text1->setReadOnly(true);
    m_unsaved.stored();
}

void Form3::storeTypedText()
{
    // Stored in the background while the user types: nothing it meets opens a window now, since
    // a box would take the keys being typed. A failure leaves the text marked unsaved, and a
    // history that cannot be written is held; the save on leaving the editor says either.
    try {
        SaveNoteText();
    } catch (const std::exception &) {
    }
}

void Form3::Check1_Click()
{
    if (m_ui.Check1->checkState() == Qt::Checked)
        pressCheck1();
}

std::optional<NoteKeptAside> Form3::pressCheck1()
{
    // A momentary switch: checked, it saves once and unchecks itself, also when the save fails,
    // so that the next check (at closing) saves again. Its own signals are held meanwhile: the
    // uncheck is no second press.
    const QSignalBlocker quiet(m_ui.Check1);
    m_ui.Check1->setCheckState(Qt::Checked);
    try {
        SaveNoteText();
    } catch (const std::exception &) {
        m_ui.Check1->setCheckState(Qt::Unchecked);
        if (!m_unsaved.closing())
            throw;
        // Closing goes on whatever happens; the text must not go with it.
        return m_unsaved.keepAtClosing(m_session.path(), m_selection.Key, m_ui.Text1->noteText());
    }
    m_ui.Check1->setCheckState(Qt::Unchecked);
    return std::nullopt;
}

void Form3::SaveNoteText()
{
    // A note that could not be read was never shown, so there is nothing of the user's to store.
    if (m_selection.isEmpty() || m_ui.Text1->isReadOnly())
        return;
    // A note changes only when its user changes it: the text as shown, or typed back to it, is
    // not written again (its bytes may not even be UTF-8, or be trimmed of spaces on show).
    if (!m_ui.Text1->isChanged()) {
        m_unsaved.stored();
        return;
    }
    if (m_noteBytes->holdsBackSaves())
        return;
    const QString text = m_ui.Text1->noteText();
    m_session.keepVersion(m_selection.StoredKey, !std::exchange(m_savedThisVisit, true), false);
    try {
        m_session.storeNote(m_selection.StoredKey, text.toStdString());
    } catch (const std::exception &error) {
        m_unsaved.notStored(m_selection.FullPath, error);
    }
    m_notices.takeFrom(m_session);
    m_ui.Text1->markStored(text);
    *m_noteBytes = NoteBytes();
    m_unsaved.stored();
    m_finding->noteStored();
}

void Form3::TreeView1_AfterLabelEdit(int number, const QString &newString)
{
    RenameNote(newString);
    m_finding->outlineChanged();
    // The path line follows a new title of the selected item or of any item above it.
    const OutlineView &outline = *m_ui.TreeView1;
    const int selected = outline.find(m_selection.Key);
    for (int at = selected; at != 0; at = outline.parentOf(at)) {
        if (at == OutlineView::indexOfNode(number)) {
            setCurrentSelection(selected);
            break;
        }
    }
}

void Form3::RenameNote(const QString &title)
{
    if (m_selection.isEmpty())
        return;
    m_session.keepVersion(m_selection.StoredKey, !std::exchange(m_renamedThisVisit, true), true);
    m_session.rename(m_selection.StoredKey, title.toStdString());
    m_changes->forgetUndo(tr("an item was renamed since"));
    m_notices.takeFrom(m_session);
    m_notices.sayThrough(m_unsaved);
}

void Form3::Command8_Click()
{
    // The click took the focus, so the editor's text has just been stored, or its failure waits
    // to be said. Text that still cannot be stored goes to a recovery file, as at closing,
    // before the program ends; the door says so itself, with anything else that failed.
    QString noteFailure;
    if (m_unsaved.has() && !m_unsaved.reportPending()) {
        try {
            SaveNoteText();
        } catch (const std::exception &) {
        }
    }
    if (m_unsaved.has()) {
        m_unsaved.dropPendingReport();
        const NoteKeptAside kept =
            m_unsaved.keepAtClosing(m_session.path(), m_selection.Key, m_ui.Text1->noteText());
        noteFailure = kept.what + QStringLiteral("\n\n") + kept.cause;
    }
    emit storeAndQuitRequested(noteFailure);
}

void Form3::SaveNoteFormat()
{
    if (m_selection.isEmpty())
        return;
    // A key without a row stores nothing and says nothing; a failure of the disk or the file
    // is said, so that the user knows the format will not come back.
    try {
        m_session.storeFormat(m_selection.StoredKey, storedFormat(m_ui.Text1->format()));
    } catch (const StoreError &error) {
        reportUnhandled(m_platform.messageBoxes, this,
                        tr("The note's format was not stored.\n\n") +
                            QString::fromUtf8(error.what()));
    }
}

void Form3::SaveWorkspace(const WindowGeometry &geometry)
{
    if (m_selection.isEmpty())
        return;
    const int count = m_ui.TreeView1->count();
    std::vector<bool> flags(static_cast<std::size_t>(count));
    for (int index = 1; index <= count; ++index)
        flags[index - 1] = m_ui.TreeView1->isExpanded(index);
    m_session.storeWorkspace(flags, geometry, m_selection.Index.toStdString());
}

} // namespace quillet
