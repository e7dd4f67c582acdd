#include "dialogs/CdlgEx.h"
#include "notes/DeleteQuestion.h"
#include "notes/Form3.h"
#include "notes/editor/FontCommand.h"
#include "notes/editor/NoteEditor.h"
#include "notes/outline/KeyNumbering.h"
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
#include <system_error>

// The notes window's commands: adding and deleting items, the note's font and background,
// expanding the outline, finding, printing, the note's earlier versions, and the hidden panel's
// dialogs.

namespace quillet {

namespace {

QString keyTakenMessage(const QString &key)
{
    return Form3::tr("No item was added: its key \"%1\" is already taken by a row that the "
                     "outline cannot show. quillet-db check names that row and its problem.")
        .arg(key);
}

} // namespace

void Form3::addItem(const NewItem &item, const QString &prompt)
{
    // Refused as the tenth child is, the reason named.
    const int count = m_ui.TreeView1->count();
    if (const QString refusal = refusalOf(item, count); !refusal.isEmpty()) {
        m_platform.messageBoxes.inform(this, QString(), refusal, MessageBoxes::Icon::None);
        return;
    }
    // A row the outline leaves out may hold the key already; a second row with it would be
    // left out too, and the new item would never show.
    const std::string key = item.key.toStdString();
    if (std::any_of(m_skippedRows.begin(), m_skippedRows.end(),
                    [&](const SkippedRow &row) { return row.key == key; })) {
        m_platform.messageBoxes.inform(this, QString(), keyTakenMessage(item.key),
                                       MessageBoxes::Icon::None);
        return;
    }
    const MessageBoxes::Answer answer = m_platform.messageBoxes.ask(
        this, QStringLiteral("Attention"),
        prompt + QLatin1Char('\n') + item.placeLabel + QStringLiteral(" >"),
        MessageBoxes::Buttons::YesNo, MessageBoxes::Icon::Information);
    if (answer == MessageBoxes::Answer::No)
        return;
    try {
        m_session.addItem(key,
                          (QStringLiteral("New Item #") + QString::number(count)).toStdString());
    } catch (const KeyTaken &) {
        // Another program added a row with this key meanwhile.
        m_platform.messageBoxes.inform(this, QString(), keyTakenMessage(item.key),
                                       MessageBoxes::Icon::None);
        return;
    }
    forgetUndo(tr("an item was added since"));
    // The new row has the largest ID, so its node comes last.
    rebuildAndSelect(count + 1);
}

void Form3::Command4_Click()
{
    if (m_selection.isEmpty() || unsavedTextStays())
        return;
    addItem(newSiblingItem(m_selection.Key, m_ui.TreeView1->nodes()),
            QStringLiteral("Add New Item in : "));
}

void Form3::Command1_Click()
{
    if (m_selection.isEmpty() || unsavedTextStays())
        return;
    addItem(newChildItem(m_selection.Key, m_selection.FullPath, m_ui.TreeView1->nodes()),
            QStringLiteral("Add New Subitem in : "));
}

void Form3::Command5_Click()
{
    // Without a selection the prefix test would match every row.
    if (m_selection.isEmpty() || unsavedTextStays())
        return;
    if (m_selection.Key == QLatin1String("A")) {
        m_platform.messageBoxes.inform(this, QString(), QStringLiteral("No the first!"),
                                       MessageBoxes::Icon::None);
        return;
    }
    const std::string key = m_selection.Key.toStdString();
    const QString question =
        deleteQuestion(m_selection.FullPath, rowsNotShown(m_session.subtreeRows(key),
                                                          m_ui.TreeView1->nodes(), m_skippedRows));
    const MessageBoxes::Answer answer =
        m_platform.messageBoxes.ask(this, QStringLiteral("Attention"), question,
                                    MessageBoxes::Buttons::YesNo, MessageBoxes::Icon::Warning);
    if (answer == MessageBoxes::Answer::No)
        return;
    try {
        m_undoneDelete = QString::fromStdString(
            m_session.deleteWithCopy(key, m_selection.FullPath.toStdString()));
    } catch (const std::system_error &error) {
        m_platform.messageBoxes.inform(
            this, QStringLiteral("Quillet"),
            tr("The item was not deleted: its copy could not be kept in the folder \"deleted\" "
               "beside the notes database, and nothing is deleted without one.\n\n%1")
                .arg(QString::fromLocal8Bit(error.what())),
            MessageBoxes::Icon::Warning);
        return;
    }
    // The delete is what the undo puts back now.
    const QString copy = std::exchange(m_undoneDelete, QString());
    forgetUndo({});
    m_undoneDelete = copy;
    rebuildAndSelect(1);
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
    if (!m_find) {
        m_find = new FindWindow(m_session.searcher(), *m_ui.TreeView1, this);
        connect(m_find, &FindWindow::itemChosen, this, [this](const QString &key) {
            guarded(m_platform.messageBoxes, this, [&] { goToItem(key); });
        });
    }
    m_find->showAndFocus();
}

void Form3::goToItem(const QString &key)
{
    OutlineView &outline = *m_ui.TreeView1;
    const int index = outline.find(key);
    if (index == 0) {
        m_platform.messageBoxes.inform(this, QStringLiteral("Quillet"),
                                       tr("The item \"%1\" is no longer in the outline.").arg(key),
                                       MessageBoxes::Icon::Information);
        return;
    }
    // As a click on the item: the text being edited is stored first (a failure keeps it and
    // the selection where they are), then the item is selected and its note shown. Its
    // ancestors open, so that it can be seen.
    SaveNoteText();
    for (int at = outline.parentOf(index); at != 0; at = outline.parentOf(at))
        outline.setExpanded(at, true);
    outline.select(index);
    outline.scrollTo(outline.modelIndexOf(index));
    TreeView1_NodeClick(index);
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
    holdHistoryProblem();
    sayHistoryProblem();
    ShowNote();
}

} // namespace quillet
