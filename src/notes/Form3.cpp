#include "notes/Form3.h"

#include "dialogs/CdlgEx.h"
#include "notes/editor/EditorFormat.h"
#include "notes/editor/EditorSpelling.h"
#include "notes/editor/NoteBytes.h"
#include "notes/editor/NoteEditor.h"
#include "notes/outline/OutlineLoader.h"
#include "notes/outline/OutlineView.h"
#include "notes/outline/TrimValue.h"
#include "notes/windows/FindWindow.h"
#include "platform/Guard.h"
#include "platform/Twips.h"
#include "store/MovePlan.h"
#include "store/NoteStore.h"
#include "store/Settings.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include <stdexcept>

// The notes window's wiring, the selection and the note display. The storing of what the user
// changes is in Form3Storing.cpp, the buttons' commands in Form3Commands.cpp, their keys in
// Form3Keys.cpp, the controls and their places in NotesWindowControls.cpp.

namespace quillet {

Form3::Form3(Platform &platform, NotesSession &session, QWidget *parent)
    : QWidget(parent)
    , m_platform(platform)
    , m_session(session)
    , m_unsaved(platform.messageBoxes, this)
    , m_noteBytes(std::make_unique<NoteBytes>())
{
    setObjectName(QStringLiteral("Form3"));
    m_ui.build(*this);
    // Nothing is selected yet: there is no row that typed text could be stored in.
    m_ui.Text1->setReadOnly(true);
    // Every handler runs guarded: what escapes it is shown, and the program goes on.
    const auto wire = [this](auto *sender, auto signal, void (Form3::*handler)()) {
        connect(sender, signal, this, [this, handler] {
            guarded(m_platform.messageBoxes, this, [&] { (this->*handler)(); });
        });
    };
    connect(m_ui.TreeView1, &OutlineView::nodeClicked, this, [this](int index) {
        guarded(m_platform.messageBoxes, this, [&] { TreeView1_NodeClick(index); });
    });
    connect(&m_ui.TreeView1->nodes(), &OutlineModel::titleEdited, this,
            [this](int number, const QString &title) {
                guarded(m_platform.messageBoxes, this,
                        [&] { TreeView1_AfterLabelEdit(number, title); });
            });
    wire(m_ui.Text2, &QLineEdit::textChanged, &Form3::Text2_Change);
    wire(m_ui.Text1, &NoteEditor::focusLost, &Form3::Text1_LostFocus);
    wire(m_ui.Text1, &NoteEditor::edited, &Form3::Text1_Change);
    connect(&m_unsaved, &UnsavedText::pauseInTyping, this, &Form3::storeTypedText);
    wire(m_ui.Check1, &QCheckBox::stateChanged, &Form3::Check1_Click);
    wire(m_ui.Command4, &QToolButton::clicked, &Form3::Command4_Click);
    wire(m_ui.Command1, &QToolButton::clicked, &Form3::Command1_Click);
    wire(m_ui.Command5, &QToolButton::clicked, &Form3::Command5_Click);
    wire(m_ui.Command10, &QToolButton::clicked, &Form3::Command10_Click);
    wire(m_ui.Command7, &QToolButton::clicked, &Form3::Command7_Click);
    wire(m_ui.Command8, &QToolButton::clicked, &Form3::Command8_Click);
    wire(m_ui.Command9, &QToolButton::clicked, &Form3::Command9_Click);
    wire(m_ui.Command2, &QPushButton::clicked, &Form3::Command2_Click);
    wire(m_ui.Command11, &QPushButton::clicked, &Form3::Command11_Click);
    wire(m_ui.Command12, &QPushButton::clicked, &Form3::Command12_Click);

    m_changes =
        new OutlineChanges(*this, *this, *m_ui.TreeView1, m_session, m_platform.messageBoxes);
    m_changes->wire();
    m_finding = new FindNavigation(*this, *m_ui.Text1, *m_ui.TreeView1,
                                   [this](const QString &key) { return m_changes->goTo(key); });
    wireKeys();
    m_spelling = new EditorSpelling(*m_ui.Text1);
    connect(m_spelling, &EditorSpelling::problem, this,
            [this](const QString &why) { m_notices.spellingProblem(why); });
    wire(m_ui.Text1, &NoteEditor::historyRequested, &Form3::showHistory);
}

Form3::~Form3()
{
    // The controls outlive this object's members: the editor losing the focus as it is
    // destroyed must not reach a handler, or the store, that is already gone.
    for (QObject *control : findChildren<QObject *>())
        control->disconnect(this);
    m_ui.TreeView1->nodes().disconnect(this);
}

void Form3::Form_Load()
{
    m_session.settings().clearFrom(5);
    ClearTree();
    m_session.open();
    LoadTree();
}

void Form3::startSpelling()
{
    m_spelling->load();
}

void Form3::restoreSelection(std::int32_t storedIndex)
{
    // "0000", the box's design-time text, is no number's decimal form: the text always
    // changes, and its change handler does the restore.
    m_ui.Text2->setText(QString::number(storedIndex));
}

void Form3::applyLayout(const NotesLayout &layout)
{
    if (layout.editorWidth)
        m_ui.Text1->resize(twips::toPixelsX(*layout.editorWidth), m_ui.Text1->height());
    if (layout.editorHeight)
        m_ui.Text1->resize(m_ui.Text1->width(), twips::toPixelsY(*layout.editorHeight));
    if (layout.outlineHeight)
        m_ui.TreeView1->resize(m_ui.TreeView1->width(), twips::toPixelsY(*layout.outlineHeight));
    m_ui.Frame1->move(m_ui.Frame1->x(), twips::toPixelsY(layout.panelTop));
}

std::optional<NoteKeptAside> Form3::saveBeforeClosing()
{
    m_unsaved.setClosing(true);
    return pressCheck1();
}

void Form3::setCurrentSelection(int index)
{
    m_selection = CurrentSelection::of(*m_ui.TreeView1, index);
    m_ui.Label1->setText(m_selection.Key);
    m_ui.Label2->setText(m_selection.Text);
    m_ui.Label6->setText(m_selection.Index);
    showPath(*m_ui.Label3, m_selection.FullPath);
}

void Form3::ClearTree()
{
    if (m_ui.TreeView1->count() == 0)
        return;
    m_ui.TreeView1->nodes().clear();
}

bool Form3::hasItems() const
{
    return m_ui.TreeView1->count() > 0;
}

void Form3::LoadTree()
{
    m_skippedRows = loadOutline(m_session, *m_ui.TreeView1);
}

void Form3::reloadOutline()
{
    ClearTree();
    LoadTree();
}

void Form3::selectItem(int index)
{
    setCurrentSelection(index);
    ShowNote();
    m_finding->outlineChanged();
}

void Form3::TreeView1_NodeClick(int index)
{
    // While the editor holds text that could not be stored, the selection stays on the item
    // being edited, so the text is not replaced by another note.
    try {
        if (unsavedTextStays()) {
            selectEditedItem();
            return;
        }
    } catch (...) {
        selectEditedItem();
        throw;
    }
    setCurrentSelection(index);
    ShowNote();
}

void Form3::selectEditedItem()
{
    if (const int edited = m_ui.TreeView1->find(m_selection.Key))
        m_ui.TreeView1->select(edited);
}

bool Form3::unsavedTextStays()
{
    if (!m_unsaved.has())
        return false;
    // The failure was met a moment ago, in this same user action, and is about to be shown.
    if (m_unsaved.reportPending())
        return true;
    // Otherwise try again: a failure throws, with its message; success lets the action go on.
    SaveNoteText();
    return false;
}

void Form3::ShowNote()
{
    // With nothing selected the editor stays empty and read-only, so that nothing can be typed
    // that could not be stored.
    if (m_selection.isEmpty()) {
        *m_noteBytes = NoteBytes();
        m_ui.Text1->showText(QString());
        m_ui.Text1->setReadOnly(true);
        return;
    }
    if (!m_session.isOpen())
        return;

    std::optional<NoteRow> row;
    try {
        row = m_session.readNote(m_selection.StoredKey);
    } catch (const StoreError &error) {
        // The row exists but could not be read (a lock held too long, a damaged file). Showing
        // it as an empty note would invite saving the empty text over it: say so, and keep the
        // editor read-only until a note is read again.
        *m_noteBytes = NoteBytes();
        m_ui.Text1->showText(QString());
        m_ui.Text1->setFormat(defaultFormat());
        m_ui.Text1->setReadOnly(true);
        reportUnhandled(m_platform.messageBoxes, this,
                        tr("The note could not be read, so it is not shown and cannot be "
                           "edited now.\n\n") +
                            QString::fromUtf8(error.what()));
        return;
    }
    m_ui.Text1->setReadOnly(false);
    m_savedThisVisit = false;
    m_renamedThisVisit = false;
    *m_noteBytes = NoteBytes::of(row ? &row->text : nullptr);
    // A missing row shows as an empty note in the default format.
    m_ui.Text1->showText(row ? TrimValue(row->text) : QString());
    m_ui.Text1->setFormat(shownFormat(row, m_ui.Text1->format()));
}

void Form3::Text2_Change()
{
    // The stored index as a 16-bit number; anything else, and anything below 1, means 1.
    int index = 0;
    if (const std::optional<std::int32_t> number =
            Value::text(m_ui.Text2->text().toStdString()).toInt32();
        number && *number >= -32768 && *number <= 32767)
        index = *number;
    if (index < 1)
        index = 1;

    // An index beyond the last node selects nothing and leaves the selection as it was.
    if (index <= m_ui.TreeView1->count()) {
        m_ui.TreeView1->select(index);
        setCurrentSelection(index);
    }
    ShowNote();
}

} // namespace quillet
