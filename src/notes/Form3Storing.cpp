#include "notes/Form3.h"
#include "notes/NoteEditor.h"
#include "notes/OutlineView.h"
#include "store/NoteStore.h"

#include <QCheckBox>

#include <stdexcept>

// The notes window's storing of what the user changes: the note's text (on leaving the editor,
// after a pause in typing, through the auto-save box), a title edited in place, and the
// workspace.

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
    }
}

void Form3::storeTypedText()
{
    // Stored in the background while the user types: a failure shows nothing now. The text
    // stays marked unsaved, and the save on leaving the editor reports it.
    try {
        SaveNoteText();
    } catch (const std::exception &) {
    }
}

void Form3::Check1_Click()
{
    // A momentary switch: checking it saves once and unchecks it. The uncheck raises this
    // handler again, which then finds the box unchecked and does nothing. The box is unchecked
    // also when the save fails, so that the next check (at closing) saves again.
    if (Check1->checkState() != Qt::Checked)
        return;
    try {
        SaveNoteText();
    } catch (const std::exception &) {
        Check1->setCheckState(Qt::Unchecked);
        if (!m_unsaved.closing())
            throw;
        // Closing goes on whatever happens; the text must not go with it.
        m_closingFailure =
            m_unsaved.keepAtClosing(m_databasePath, m_selection.Key, Text1->noteText());
        return;
    }
    Check1->setCheckState(Qt::Unchecked);
}

void Form3::SaveNoteText()
{
    // A note that could not be read was never shown, so there is nothing of the user's to store.
    if (m_selection.isEmpty() || Text1->isReadOnly())
        return;
    try {
        openStore().saveText(m_selection.StoredKey, Text1->noteText().toStdString());
    } catch (const std::exception &error) {
        m_unsaved.notStored(m_selection.FullPath, error);
    }
    m_unsaved.stored();
}

void Form3::TreeView1_AfterLabelEdit(int number, const QString &newString)
{
    RenameNote(newString);
    // The path line follows a new title of the selected item or of any item above it.
    const int selected = TreeView1->nodes().find(m_selection.Key);
    for (int at = selected; at >= 0; at = TreeView1->nodes().node(at).parent) {
        if (at == number) {
            setCurrentSelection(selected + 1);
            break;
        }
    }
}

void Form3::RenameNote(const QString &title)
{
    if (m_selection.isEmpty())
        return;
    openStore().rename(m_selection.StoredKey, title.toStdString());
}

void Form3::SaveWorkspace(const WindowGeometry &geometry)
{
    if (m_selection.isEmpty())
        return;
    const int count = TreeView1->count();
    std::vector<bool> flags(static_cast<std::size_t>(count));
    for (int index = 1; index <= count; ++index)
        flags[index - 1] = TreeView1->isExpanded(index);
    openStore().storeExpanded(flags);

    m_settings.at(1) = geometry.left;
    m_settings.at(2) = geometry.top;
    m_settings.at(3) = geometry.width;
    m_settings.at(4) = geometry.height;
    bool isNumber = false;
    const int index = m_selection.Index.toInt(&isNumber);
    if (!isNumber || index < -32768 || index > 32767)
        throw std::out_of_range("The selected item's index \"" + m_selection.Index.toStdString() +
                                "\" is not a number from -32768 to 32767.");
    m_settings.at(5) = index;
    openStore().storeSettings(m_settings);
}

} // namespace quillet
