#include "notes/windows/DeletedItemsWindow.h"

#include "notes/outline/TrimValue.h"
#include "platform/Guard.h"
#include "platform/MessageBoxes.h"
#include "session/NotesSession.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace quillet {

namespace {

// Stored text on one line of the list.
QString oneLine(const std::string &bytes)
{
    QString text = fromStored(bytes);
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

QString itemsText(std::size_t items)
{
    return items == 1 ? QObject::tr("1 item")
                      : QObject::tr("%1 items").arg(static_cast<qulonglong>(items));
}

} // namespace

QString deletedCopyLine(const deletions::Copy &copy)
{
    const QString when = QString::fromStdString(copy.when);
    if (!copy.problem.empty())
        return QObject::tr("%1   %2 cannot be read: %3")
            .arg(when, QFileInfo(QString::fromStdString(copy.file)).fileName(),
                 QString::fromUtf8(copy.problem));
    // Copies made before they kept the path name the item by its key and title.
    const QString where = copy.itemPath.empty()
                              ? oneLine(copy.key) + QStringLiteral(": ") + oneLine(copy.title)
                              : oneLine(copy.itemPath);
    QString first = oneLine(copy.firstLine).trimmed();
    if (first.isEmpty())
        first = QObject::tr("(empty note)");
    return QStringLiteral("%1   %2   %3   %4").arg(when, where, itemsText(copy.items), first);
}

void DeletedItemsWindow::showFor(NotesSession &session, MessageBoxes &boxes,
                                 const std::vector<ChoosableItem> &items, const QString &currentKey,
                                 QWidget *parent,
                                 const std::function<void(const deletions::Restored &)> &putBack)
{
    DeletedItemsWindow window(session, boxes, items, currentKey, parent);
    connect(&window, &DeletedItemsWindow::itemsPutBack, &window, putBack);
    window.exec();
}

DeletedItemsWindow::DeletedItemsWindow(NotesSession &session, MessageBoxes &boxes,
                                       std::vector<ChoosableItem> items, QString currentKey,
                                       QWidget *parent)
    : QDialog(parent)
    , m_session(session)
    , m_boxes(boxes)
    , m_items(std::move(items))
    , m_currentKey(std::move(currentKey))
{
    setObjectName(QStringLiteral("DeletedItemsWindow"));
    setWindowTitle(tr("Deleted items"));

    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("copies"));
    m_list->setAccessibleName(tr("Deleted items"));
    auto *listLabel = new QLabel(tr("&Deleted items, newest first:"), this);
    listLabel->setBuddy(m_list);

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setTextFormat(Qt::PlainText);
    m_status->setWordWrap(true);

    auto *buttons = new QDialogButtonBox(this);
    m_restore = buttons->addButton(tr("&Restore"), QDialogButtonBox::ActionRole);
    m_restore->setObjectName(QStringLiteral("restore"));
    m_restore->setDefault(true);
    buttons->addButton(QDialogButtonBox::Close)->setObjectName(QStringLiteral("close"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_restore, &QPushButton::clicked, this,
            [this] { guarded(m_boxes, this, [this] { restoreChosen(); }); });
    connect(m_list, &QListWidget::currentRowChanged, this, [this](int row) {
        m_restore->setEnabled(row >= 0 && row < static_cast<int>(m_copies.size()) &&
                              m_copies[static_cast<std::size_t>(row)].problem.empty());
    });

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(listLabel);
    layout->addWidget(m_list);
    layout->addWidget(m_status);
    layout->addWidget(buttons);
    resize(760, 420);

    list(0);
    m_list->setFocus();
}

void DeletedItemsWindow::list(int row)
{
    m_copies = m_session.deletedCopies();
    m_list->clear();
    for (const deletions::Copy &copy : m_copies)
        m_list->addItem(deletedCopyLine(copy));
    if (m_copies.empty()) {
        m_restore->setEnabled(false);
        if (m_status->text().isEmpty())
            m_status->setText(tr("No copies of deleted items are kept beside this notes file."));
        return;
    }
    m_list->setCurrentRow(std::min(row, m_list->count() - 1));
}

void DeletedItemsWindow::restoreChosen()
{
    const int row = m_list->currentRow();
    if (row < 0 || row >= static_cast<int>(m_copies.size()))
        return;
    const deletions::Copy copy = m_copies[static_cast<std::size_t>(row)];
    if (!copy.problem.empty())
        return;
    std::optional<deletions::Restored> done;
    try {
        done = m_session.putBack(copy.file);
    } catch (const deletions::PlaceTaken &taken) {
        done = restoreElsewhere(copy.file, QString::fromUtf8(taken.what()));
    } catch (const std::exception &error) {
        m_boxes.inform(
            this, tr("Deleted items"),
            tr("The items were not put back.\n\n%1").arg(QString::fromUtf8(error.what())),
            MessageBoxes::Icon::Warning);
    }
    if (!done)
        return;
    m_restoredKey = QString::fromUtf8(done->key);
    m_status->setText(tr("Put back %1 as \"%2\".").arg(itemsText(done->items), *m_restoredKey));
    emit itemsPutBack(*done);
    if (!done->copyProblem.empty())
        m_boxes.inform(this, tr("Deleted items"),
                       tr("The items are back, but their copy could not be renamed to say so, "
                          "so it is still listed.\n\n%1")
                           .arg(QString::fromUtf8(done->copyProblem)),
                       MessageBoxes::Icon::Warning);
    list(row);
}

std::optional<deletions::Restored> DeletedItemsWindow::restoreElsewhere(const std::string &file,
                                                                        const QString &why)
{
    const MessageBoxes::Answer answer =
        m_boxes.ask(this, tr("Deleted items"),
                    tr("The items cannot go back where they were: %1\n\n"
                       "Put them under an item you choose, with new keys?")
                        .arg(why),
                    MessageBoxes::Buttons::YesNo, MessageBoxes::Icon::Warning);
    if (answer != MessageBoxes::Answer::Yes)
        return std::nullopt;
    const std::optional<QString> under =
        ItemChooser::choose(m_items, m_currentKey, true, tr("Put the deleted items under"), this);
    if (!under)
        return std::nullopt;
    try {
        return m_session.putBack(file, under->toStdString());
    } catch (const std::exception &error) {
        m_boxes.inform(
            this, tr("Deleted items"),
            tr("The items were not put back.\n\n%1").arg(QString::fromUtf8(error.what())),
            MessageBoxes::Icon::Warning);
        return std::nullopt;
    }
}

} // namespace quillet
