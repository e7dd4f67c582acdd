#include "notes/Form3.h"

#include "dialogs/CdlgEx.h"
#include "notes/KeyNumbering.h"
#include "notes/NoteEditor.h"
#include "notes/OutlineView.h"
#include "platform/Colors.h"
#include "platform/Guard.h"
#include "platform/MessageBoxes.h"
#include "platform/Twips.h"
#include "platform/WindowHandles.h"
#include "store/Keys.h"

#include <QCheckBox>
#include <QDateTime>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTimer>
#include <QToolButton>

#include <cmath>
#include <limits>
#include <stdexcept>

namespace quillet {

namespace {

const QString kDefaultFontName = QStringLiteral("Courier New");
constexpr double kDefaultFontSize = 10.0;
constexpr std::int32_t kBlack = 0x000000;
constexpr std::int32_t kWhite = 0xFFFFFF;

QString fromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

QString TrimValue(const Value &value)
{
    if (const std::optional<std::string_view> text = value.textView())
        return fromUtf8(keys::trimmedSpaces(*text));
    const std::optional<std::string> text = value.toText();
    if (!text)
        return {};
    return fromUtf8(keys::trimmedSpaces(*text));
}

Form3::Form3(Platform &platform, Settings &settings, QWidget *parent)
    : QWidget(parent)
    , m_platform(platform)
    , m_settings(settings)
{
    setObjectName(QStringLiteral("Form3"));
    buildControls();
    connect(TreeView1, &OutlineView::nodeClicked, this, [this](int index) {
        guarded(m_platform.messageBoxes, this, [&] { TreeView1_NodeClick(index); });
    });
    connect(Text2, &QLineEdit::textChanged, this,
            [this] { guarded(m_platform.messageBoxes, this, [&] { Text2_Change(); }); });
    connect(&TreeView1->nodes(), &OutlineModel::titleEdited, this,
            [this](int, const QString &title) {
                guarded(m_platform.messageBoxes, this, [&] { TreeView1_AfterLabelEdit(title); });
            });
    connect(Text1, &NoteEditor::focusLost, this,
            [this] { guarded(m_platform.messageBoxes, this, [&] { Text1_LostFocus(); }); });
    connect(Check1, &QCheckBox::stateChanged, this,
            [this] { guarded(m_platform.messageBoxes, this, [&] { Check1_Click(); }); });
    const auto onClick = [this](QAbstractButton *button, void (Form3::*handler)()) {
        connect(button, &QAbstractButton::clicked, this, [this, handler] {
            guarded(m_platform.messageBoxes, this, [&] { (this->*handler)(); });
        });
    };
    onClick(Command4, &Form3::Command4_Click);
    onClick(Command1, &Form3::Command1_Click);
    onClick(Command5, &Form3::Command5_Click);
    onClick(Command10, &Form3::Command10_Click);
}

Form3::~Form3()
{
    // The controls outlive this object's members: the editor losing the focus as it is
    // destroyed must not reach a handler, or the store, that is already gone.
    for (QObject *control : findChildren<QObject *>())
        control->disconnect(this);
    TreeView1->nodes().disconnect(this);
}

void Form3::Form_Load(const std::string &databasePath)
{
    m_databasePath = databasePath;
    m_settings.clearFrom(5);
    ClearTree();
    m_store = std::make_unique<NoteStore>(databasePath);
    LoadTree();
}

QString Form3::selectionKey() const
{
    return Label1->text();
}

QString Form3::selectionText() const
{
    return Label2->text();
}

QString Form3::selectionIndex() const
{
    return Label6->text();
}

QString Form3::selectionFullPath() const
{
    return Label3->text();
}

void Form3::setSelection(int index)
{
    Label1->setText(TreeView1->key(index));
    Label2->setText(TreeView1->text(index));
    Label6->setText(QString::number(index));
    Label3->setText(TreeView1->fullPath(index));
}

void Form3::ClearTree()
{
    if (TreeView1->count() == 0)
        return;
    TreeView1->nodes().clear();
}

void Form3::LoadTree()
{
    NoteStore &store = openStore();
    OutlineModel &model = TreeView1->nodes();
    std::vector<int> expanded;

    // The rows arrive as one model reset; the expanded flags go on once every node exists,
    // also when a bad row stops the loading, so the nodes before it keep their state.
    model.beginBulk();
    const auto finish = [&] {
        model.endBulk();
        for (int number : expanded)
            TreeView1->expand(model.indexOf(number));
    };
    try {
        store.scanOutline([&](const OutlineRow &row) {
            const bool hasKey = !row.key.isNull();
            const QString key = TrimValue(row.key);
            const auto refuse = [&](const std::string &why) {
                throw StoreError(0,
                                 "The row with ID " + std::to_string(row.id) + " and key \"" +
                                     key.toStdString() + "\" cannot be placed in the outline: " +
                                     why + ". The outline shows the rows before it.",
                                 store.path());
            };
            if (!hasKey)
                refuse("its key (Kleidi) is Null");
            if (key.isEmpty())
                refuse("its key (Kleidi) is empty");
            if (row.title.isNull())
                refuse("its title (MyText) is Null");
            const std::optional<bool> open = row.expanded.toBool();
            if (!open)
                refuse("its expanded flag (anoixto) is not true or false");

            QString parentKey;
            if (key.size() > 1) {
                parentKey = key;
                parentKey.chop(key.back().isLowSurrogate() ? 2 : 1);
            }
            int number = -1;
            try {
                number = model.add(key, TrimValue(row.title), parentKey);
            } catch (const std::invalid_argument &why) {
                refuse(why.what());
            }
            if (*open)
                expanded.push_back(number);
        });
    } catch (...) {
        finish();
        throw;
    }
    finish();
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
    setSelection(index);
    ShowNote();
}

void Form3::selectEditedItem()
{
    const int edited = TreeView1->nodes().find(selectionKey());
    if (edited >= 0)
        TreeView1->select(edited + 1);
}

bool Form3::unsavedTextStays()
{
    if (!m_unsaved)
        return false;
    // The failure was met a moment ago, in this same user action, and is about to be shown.
    if (m_reportPending)
        return true;
    // Otherwise try again: a failure throws, with its message; success lets the action go on.
    SaveNoteText();
    return false;
}

void Form3::applyDefaultFormat()
{
    Text1->setFontName(kDefaultFontName);
    Text1->setFontSize(kDefaultFontSize);
    Text1->setForeColor(kBlack);
    Text1->setBackColor(kWhite);
    Text1->setFontBold(false);
    Text1->setFontItalic(false);
}

void Form3::applyStoredFormat(const NoteRow &row)
{
    // Each property is applied on its own: a Null or unusable column leaves that property as
    // the editor has it and the others still apply.
    if (const std::optional<std::string> name = row.fontName.toText()) {
        const std::string trimmed = keys::trimSpaces(*name);
        if (!trimmed.empty())
            Text1->setFontName(fromUtf8(trimmed));
    }
    if (const std::optional<double> size = row.fontSize.toDouble()) {
        try {
            Text1->setFontSize(static_cast<float>(*size));
        } catch (const std::invalid_argument &) {
        }
    }
    if (const std::optional<std::int32_t> color = row.foreColor.toInt32())
        Text1->setForeColor(*color);
    if (const std::optional<std::int32_t> color = row.backColor.toInt32())
        Text1->setBackColor(*color);
    if (const std::optional<bool> bold = row.bold.toBool())
        Text1->setFontBold(*bold);
    if (const std::optional<bool> italic = row.italic.toBool())
        Text1->setFontItalic(*italic);
}

void Form3::ShowNote()
{
    const QString key = selectionKey();
    if (key.isEmpty() || !m_store)
        return;

    std::optional<NoteRow> row;
    try {
        row = m_store->readNote(key.toStdString());
    } catch (const StoreError &error) {
        // The row exists but could not be read (a lock held too long, a damaged file). Showing
        // it as an empty note would invite saving the empty text over it: say so, and keep the
        // editor read-only until a note is read again.
        Text1->setPlainText(QString());
        applyDefaultFormat();
        Text1->setReadOnly(true);
        reportUnhandled(m_platform.messageBoxes, this,
                        tr("The note could not be read, so it is not shown and cannot be "
                           "edited now.\n\n") +
                            QString::fromUtf8(error.what()));
        return;
    }
    Text1->setReadOnly(false);

    // A missing row shows as an empty note in the default format.
    Text1->setPlainText(row ? TrimValue(row->text) : QString());

    bool useDefault = true;
    if (row) {
        if (row->fontSize.isNull()) {
            // Null is not 0: the stored format applies, column by column.
            useDefault = false;
        } else if (const std::optional<double> size = row->fontSize.toDouble()) {
            useDefault = *size == 0.0;
        }
    }
    if (useDefault)
        applyDefaultFormat();
    else
        applyStoredFormat(*row);
}

void Form3::Text2_Change()
{
    // The stored index as a 16-bit number; anything else, and anything below 1, means 1.
    int index = 0;
    if (const std::optional<std::int32_t> number =
            Value::text(Text2->text().toStdString()).toInt32();
        number && *number >= -32768 && *number <= 32767)
        index = *number;
    if (index < 1)
        index = 1;

    // An index beyond the last node selects nothing and leaves the selection as it was.
    const bool exists = index <= TreeView1->count();
    if (exists) {
        TreeView1->select(index);
        Label1->setText(TreeView1->key(index));
        Label2->setText(TreeView1->text(index));
        Label6->setText(QString::number(index));
    }
    ShowNote();
    if (exists)
        Label3->setText(TreeView1->fullPath(index));
}

void Form3::Text1_LostFocus()
{
    // Leaving the editor for another item or a button: that control acts next, in the same
    // user action. A failed save is shown once, after it, and meanwhile keeps the text.
    try {
        SaveNoteText();
    } catch (const std::exception &error) {
        m_reportPending = true;
        const QString text = QString::fromUtf8(error.what());
        QTimer::singleShot(0, this, [this, text] {
            m_reportPending = false;
            reportUnhandled(m_platform.messageBoxes, this, text);
        });
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
    } catch (const std::exception &error) {
        Check1->setCheckState(Qt::Unchecked);
        if (!m_closing)
            throw;
        // Closing goes on whatever happens; the text must not go with it.
        const QString file = writeRecoveryFile();
        QString text = QString::fromUtf8(error.what()) + QStringLiteral("\n\n");
        if (file.isEmpty())
            text += tr("The text could not be written to a recovery file either.");
        else
            text += tr("So that it is not lost, the text was written to:\n%1").arg(file);
        reportUnhandled(m_platform.messageBoxes, this, text);
        return;
    }
    Check1->setCheckState(Qt::Unchecked);
}

QString Form3::writeRecoveryFile() const
{
    const QString name = QFileInfo(QString::fromStdString(m_databasePath)).fileName() +
                         QStringLiteral(".recovered-") + selectionKey() + QLatin1Char('-') +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")) +
                         QStringLiteral(".txt");
    const QStringList folders = {QFileInfo(QString::fromStdString(m_databasePath)).absolutePath(),
                                 QStandardPaths::writableLocation(QStandardPaths::HomeLocation),
                                 QStandardPaths::writableLocation(QStandardPaths::TempLocation)};
    const QByteArray bytes = Text1->toPlainText().toUtf8();
    for (const QString &folder : folders) {
        if (folder.isEmpty())
            continue;
        QSaveFile file(folder + QLatin1Char('/') + name);
        if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
            return file.fileName();
    }
    return {};
}

void Form3::SaveNoteText()
{
    const QString key = selectionKey();
    // A note that could not be read was never shown, so there is nothing of the user's to store.
    if (key.isEmpty() || Text1->isReadOnly())
        return;
    try {
        openStore().saveText(key.toStdString(), Text1->toPlainText().toStdString());
    } catch (const std::exception &error) {
        m_unsaved = true;
        throw std::runtime_error(
            tr("Your note in \"%1\" was NOT stored.\n\n").arg(selectionFullPath()).toStdString() +
            error.what() +
            tr("\n\nThe text is still in the editor. Quillet stores it when you leave the editor "
               "or choose another item, once the problem is solved.")
                .toStdString());
    }
    m_unsaved = false;
}

void Form3::TreeView1_AfterLabelEdit(const QString &newString)
{
    RenameNote(newString);
}

void Form3::RenameNote(const QString &title)
{
    const QString key = selectionKey();
    if (key.isEmpty())
        return;
    openStore().rename(key.toStdString(), title.toStdString());
}

void Form3::rebuildAndSelect(int index)
{
    ClearTree();
    LoadTree();
    TreeView1->setFocus();
    TreeView1->select(index);
    setSelection(index);
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
    const MessageBoxes::Answer answer = m_platform.messageBoxes.ask(
        this, QStringLiteral("Attention"),
        prompt + QLatin1Char('\n') + item.placeLabel + QStringLiteral(" >"),
        MessageBoxes::Buttons::YesNo, MessageBoxes::Icon::Information);
    if (answer == MessageBoxes::Answer::No)
        return;
    openStore().insertItem(item.key.toStdString(),
                           (QStringLiteral("New Item #") + QString::number(count)).toStdString());
    // The new row has the largest ID, so its node comes last.
    rebuildAndSelect(count + 1);
}

void Form3::Command4_Click()
{
    const QString key = selectionKey();
    if (key.isEmpty() || unsavedTextStays())
        return;
    addItem(newSiblingItem(key, TreeView1->nodes()), QStringLiteral("Add New Item in : "));
}

void Form3::Command1_Click()
{
    const QString key = selectionKey();
    if (key.isEmpty() || unsavedTextStays())
        return;
    addItem(newChildItem(key, selectionFullPath(), TreeView1->nodes()),
            QStringLiteral("Add New Subitem in : "));
}

void Form3::Command5_Click()
{
    const QString key = selectionKey();
    // Without a selection the prefix test would match every row.
    if (key.isEmpty() || unsavedTextStays())
        return;
    if (key == QLatin1String("A")) {
        m_platform.messageBoxes.inform(this, QString(), QStringLiteral("No the first!"),
                                       MessageBoxes::Icon::None);
        return;
    }
    const MessageBoxes::Answer answer = m_platform.messageBoxes.ask(
        this, QStringLiteral("Attention"), QStringLiteral("Delete item : \n") + selectionFullPath(),
        MessageBoxes::Buttons::YesNo, MessageBoxes::Icon::Warning);
    if (answer == MessageBoxes::Answer::No)
        return;
    openStore().deleteSubtree(key.toStdString());
    rebuildAndSelect(1);
}

void Form3::SaveWorkspace()
{
    if (selectionKey().isEmpty())
        return;
    const int count = TreeView1->count();
    std::vector<bool> flags(static_cast<std::size_t>(count));
    for (int index = 1; index <= count; ++index)
        flags[index - 1] = TreeView1->isExpanded(index);
    openStore().storeExpanded(flags);

    // The window's position (outer frame) and size (inside it), in twips, to the nearest whole
    // twip with halves to even.
    const QWidget *main = window();
    const auto whole = [](double value) {
        return static_cast<std::int32_t>(std::nearbyint(value));
    };
    m_settings.at(1) = whole(twips::fromPixelsX(main->pos().x()));
    m_settings.at(2) = whole(twips::fromPixelsY(main->pos().y()));
    m_settings.at(3) = whole(twips::fromPixelsX(main->width()));
    m_settings.at(4) = whole(twips::fromPixelsY(main->height()));
    bool isNumber = false;
    const int index = selectionIndex().toInt(&isNumber);
    if (!isNumber || index < -32768 || index > 32767)
        throw std::out_of_range("The selected item's index \"" + selectionIndex().toStdString() +
                                "\" is not a number from -32768 to 32767.");
    m_settings.at(5) = index;
    openStore().storeSettings(m_settings);
}

CdlgEx &Form3::dialog()
{
    if (!m_dialog) {
        if (!m_platform.choosers)
            throw std::logic_error("No font or colour chooser is available.");
        m_dialog = std::make_unique<CdlgEx>(*m_platform.choosers);
    }
    return *m_dialog;
}

void Form3::Command10_Click()
{
    // Each step that fails is skipped and the next one runs: a font the editor cannot take,
    // a name too long for the chooser, a cancelled chooser. The format is stored in any case.
    CdlgEx &font = dialog();
    font.setFontName(Text1->fontName());
    // Whole points, halves to even: 9.75 becomes 10, 10.5 becomes 10.
    const double size = std::nearbyint(Text1->fontSize());
    if (size >= std::numeric_limits<std::int32_t>::min() &&
        size <= std::numeric_limits<std::int32_t>::max())
        font.setFontSize(static_cast<std::int32_t>(size));
    font.setRGBResult(Text1->foreColor());
    font.setBold(Text1->fontBold());
    font.setItalic(Text1->fontItalic());
    font.sethOwner(windowHandles::handleOf(this));
    try {
        font.ShowFont();
    } catch (const std::exception &) {
        // Cancelled with CancelError set, or a name or size the chooser cannot take.
    }
    if (!font.FontName().isEmpty())
        Text1->setFontName(font.FontName());
    try {
        Text1->setFontSize(font.FontSize());
    } catch (const std::invalid_argument &) {
    }
    Text1->setForeColor(font.RGBResult());
    Text1->setFontBold(font.Bold());
    Text1->setFontItalic(font.Italic());
    SaveNoteFormat();
}

void Form3::SaveNoteFormat()
{
    const QString key = selectionKey();
    if (key.isEmpty())
        return;
    NoteFormat format;
    format.fontName = Text1->fontName().toStdString();
    format.fontSize = static_cast<float>(Text1->fontSize());
    format.foreColor = Text1->foreColor();
    format.backColor = Text1->backColor();
    format.bold = Text1->fontBold();
    format.italic = Text1->fontItalic();
    // A key without a row stores nothing and says nothing; a failure of the disk or the file
    // is said, so that the user knows the format will not come back.
    try {
        openStore().saveFormat(key.toStdString(), format);
    } catch (const StoreError &error) {
        reportUnhandled(m_platform.messageBoxes, this,
                        tr("The note's format was not stored.\n\n") +
                            QString::fromUtf8(error.what()));
    }
}

NoteStore &Form3::openStore()
{
    if (!m_store)
        throw std::logic_error("The notes database is not open.");
    return *m_store;
}

void Form3::closeStore()
{
    m_store.reset();
}

} // namespace quillet
