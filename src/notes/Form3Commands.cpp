#include "dialogs/CdlgEx.h"
#include "notes/EditorFormat.h"
#include "notes/FindWindow.h"
#include "notes/Form3.h"
#include "notes/NoteEditor.h"
#include "notes/NotePrinting.h"
#include "notes/OutlineView.h"
#include "platform/Guard.h"
#include "platform/MessageBoxes.h"
#include "platform/Printers.h"
#include "platform/WindowHandles.h"
#include "store/Deletions.h"
#include "store/NoteStore.h"

#include <QGroupBox>

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <system_error>

// The notes window's commands: adding and deleting items, the note's font and background,
// expanding the outline, storing and quitting, and the hidden panel's dialogs.

namespace quillet {

namespace {

QString keyTakenMessage(const QString &key)
{
    return Form3::tr("No item was added: its key \"%1\" is already taken by a row that the "
                     "outline cannot show. quillet-db check names that row and its problem.")
        .arg(key);
}

} // namespace

void Form3::rebuildAndSelect(int index)
{
    ClearTree();
    LoadTree();
    TreeView1->setFocus();
    TreeView1->select(index);
    setCurrentSelection(index);
    ShowNote();
}

void Form3::addItem(const NewItem &item, const QString &prompt)
{
    const int count = TreeView1->count();
    if (!item.fits || count >= kMaxItems) {
        m_platform.messageBoxes.inform(this, QString(), tr("No room for a new item here!"),
                                       MessageBoxes::Icon::None);
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
        openStore().insertItem(
            key, (QStringLiteral("New Item #") + QString::number(count)).toStdString());
    } catch (const KeyTaken &) {
        // Another program added a row with this key meanwhile.
        m_platform.messageBoxes.inform(this, QString(), keyTakenMessage(item.key),
                                       MessageBoxes::Icon::None);
        return;
    }
    // The new row has the largest ID, so its node comes last.
    rebuildAndSelect(count + 1);
}

void Form3::Command4_Click()
{
    if (m_selection.isEmpty() || unsavedTextStays())
        return;
    addItem(newSiblingItem(m_selection.Key, TreeView1->nodes()),
            QStringLiteral("Add New Item in : "));
}

void Form3::Command1_Click()
{
    if (m_selection.isEmpty() || unsavedTextStays())
        return;
    addItem(newChildItem(m_selection.Key, m_selection.FullPath, TreeView1->nodes()),
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
    const MessageBoxes::Answer answer =
        m_platform.messageBoxes.ask(this, QStringLiteral("Attention"),
                                    QStringLiteral("Delete item : \n") + m_selection.FullPath,
                                    MessageBoxes::Buttons::YesNo, MessageBoxes::Icon::Warning);
    if (answer == MessageBoxes::Answer::No)
        return;
    // The rows go only once their copy is on the disk in deleted/, from where quillet-db
    // undelete puts them back.
    NoteStore &store = openStore();
    const std::string key = m_selection.Key.toStdString();
    try {
        store.deleteSubtree(key, [&](const std::vector<archive::Row> &rows) {
            deletions::keepCopy(store.path(), key, rows);
        });
    } catch (const std::system_error &error) {
        m_platform.messageBoxes.inform(
            this, QStringLiteral("Quillet"),
            tr("The item was not deleted: its copy could not be kept in the folder \"deleted\" "
               "beside the notes database, and nothing is deleted without one.\n\n%1")
                .arg(QString::fromLocal8Bit(error.what())),
            MessageBoxes::Icon::Warning);
        return;
    }
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
    // Each step that fails is skipped and the next one runs: a font the editor cannot take,
    // a name too long for the chooser, a cancelled chooser. The format is stored in any case.
    EditorFormat format = Text1->format();
    CdlgEx &font = dialog();
    font.setFontName(format.fontName);
    // Whole points, halves to even: 9.75 becomes 10, 10.5 becomes 10.
    const double size = std::nearbyint(format.fontSize);
    if (size >= std::numeric_limits<std::int32_t>::min() &&
        size <= std::numeric_limits<std::int32_t>::max())
        font.setFontSize(static_cast<std::int32_t>(size));
    font.setRGBResult(format.foreColor);
    font.setBold(format.bold);
    font.setItalic(format.italic);
    font.sethOwner(windowHandles::handleOf(this));
    try {
        font.ShowFont();
    } catch (const std::exception &) {
        // Cancelled with CancelError set, or a name or size the chooser cannot take.
    }
    if (!font.FontName().isEmpty())
        format.fontName = font.FontName();
    format.fontSize = font.FontSize();
    format.foreColor = font.RGBResult();
    format.bold = font.Bold();
    format.italic = font.Italic();
    Text1->setFormat(format);
    SaveNoteFormat();
}

void Form3::SaveNoteFormat()
{
    if (m_selection.isEmpty())
        return;
    // A key without a row stores nothing and says nothing; a failure of the disk or the file
    // is said, so that the user knows the format will not come back.
    try {
        openStore().saveFormat(m_selection.StoredKey, storedFormat(Text1->format()));
    } catch (const StoreError &error) {
        reportUnhandled(m_platform.messageBoxes, this,
                        tr("The note's format was not stored.\n\n") +
                            QString::fromUtf8(error.what()));
    }
}

void Form3::Command9_Click()
{
    CdlgEx &colours = dialog();
    colours.sethOwner(windowHandles::handleOf(this));
    colours.ShowColor();
    // Black (0) and negative values are not applied. A cancel leaves RGBResult as the last
    // colour or font command left it, which then applies. The format is stored in any case.
    if (colours.RGBResult() > 0) {
        EditorFormat format = Text1->format();
        format.backColor = colours.RGBResult();
        Text1->setFormat(format);
    }
    SaveNoteFormat();
}

void Form3::Command2_Click()
{
    // Every item with children opens; no item closes. The flags reach the file with the
    // workspace.
    const int count = TreeView1->count();
    for (int index = 1; index <= count; ++index)
        if (TreeView1->children(index) > 0)
            TreeView1->setExpanded(index, true);
}

void Form3::Command7_Click()
{
    // The binoculars open the find window; the click itself changes nothing.
    if (!m_store)
        return;
    if (!m_find) {
        m_find = new FindWindow(m_databasePath, *TreeView1, this);
        connect(m_find, &FindWindow::itemChosen, this, [this](const QString &key) {
            guarded(m_platform.messageBoxes, this, [&] { goToItem(key); });
        });
    }
    m_find->showAndFocus();
}

void Form3::goToItem(const QString &key)
{
    const int number = TreeView1->nodes().find(key);
    if (number < 0)
        return;
    // As a click on the item: the text being edited is stored first (a failure keeps it and
    // the selection where they are), then the item is selected and its note shown. Its
    // ancestors open, so that it can be seen.
    SaveNoteText();
    for (int at = TreeView1->nodes().node(number).parent; at >= 0;
         at = TreeView1->nodes().node(at).parent)
        TreeView1->setExpanded(at + 1, true);
    TreeView1->select(number + 1);
    TreeView1->scrollTo(TreeView1->nodes().indexOf(number));
    TreeView1_NodeClick(number + 1);
}

void Form3::Command8_Click()
{
    // The click took the focus, so the editor's text has just been stored. Text that still
    // could not be stored goes to a recovery file, as at closing, before the program ends.
    if (m_unsaved.has() && !m_unsaved.reportPending()) {
        try {
            SaveNoteText();
        } catch (const std::exception &) {
        }
    }
    if (m_unsaved.has()) {
        m_platform.messageBoxes.inform(
            this, QStringLiteral("Quillet"),
            m_unsaved.keepAtClosing(m_databasePath, m_selection.Key, Text1->noteText()),
            MessageBoxes::Icon::Warning);
    }
    emit storeAndQuitRequested();
}

void Form3::Command11_Click()
{
    CdlgEx &files = dialog();
    files.setCancelError(false);
    files.setFilter(QStringLiteral("Text files|*.txt|All files|*.*"));
    files.ShowOpen();
    // The file is not opened; its path, or the one before a cancel, is shown.
    Frame2->setTitle(files.FileName());
}

void Form3::Command12_Click()
{
    dialog().ShowPrinter();
}

void Form3::printNote()
{
    if (m_selection.isEmpty())
        return;
    if (!m_platform.choosers)
        throw std::logic_error("No print dialog is available.");
    // The print dialog starts on the program's current printer and its settings.
    PrintSettings settings;
    settings.owner = windowHandles::handleOf(this);
    settings.documentName = m_selection.FullPath;
    try {
        if (!m_platform.printers)
            throw PrinterUnavailable(tr("No printer is installed on this computer.").toStdString());
        settings.deviceName = m_platform.printers->deviceName();
        settings.orientation = m_platform.printers->orientation();
        settings.duplex = m_platform.printers->duplex();
        settings.copies = m_platform.printers->copies();
    } catch (const PrinterUnavailable &error) {
        m_platform.messageBoxes.inform(
            this, QStringLiteral("Quillet"),
            QString::fromUtf8(error.what()) +
                tr("\n\nThe print dialog can still print the note to a PDF file."),
            MessageBoxes::Icon::Information);
    }
    const QString header = m_selection.FullPath;
    const QString text = Text1->noteText();
    const EditorFormat format = Text1->format();
    m_platform.choosers->printDocument(
        settings, [&](QPrinter &printer) { quillet::printNote(printer, header, text, format); });
}

} // namespace quillet
