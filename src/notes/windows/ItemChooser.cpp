#include "notes/windows/ItemChooser.h"

#include "notes/outline/OutlineModel.h"
#include "notes/outline/OutlineView.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillet {

namespace {

// The key of a line; the top level's is empty, as no item's is.
constexpr int kChoiceKeyRole = Qt::UserRole;

} // namespace

std::vector<ChoosableItem> choosableItems(const OutlineModel &nodes)
{
    std::vector<ChoosableItem> items;
    items.reserve(static_cast<std::size_t>(nodes.count()));
    for (int number = 0; number < nodes.count(); ++number)
        items.push_back(
            {nodes.node(number).key, nodes.fullPath(number, OutlineView::kPathSeparator)});
    return items;
}

ItemChooser::ItemChooser(const std::vector<ChoosableItem> &items, const QString &currentKey,
                         bool offerTopLevel, const QString &title, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("ItemChooser"));
    setWindowTitle(title);

    m_filter = new QLineEdit(this);
    m_filter->setObjectName(QStringLiteral("filter"));
    m_filter->setAccessibleName(tr("Find"));
    m_filter->setClearButtonEnabled(true);
    auto *filterLabel = new QLabel(tr("&Find:"), this);
    filterLabel->setBuddy(m_filter);

    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("items"));
    m_list->setAccessibleName(tr("Items"));
    // Tens of thousands of lines: one height for all spares measuring each.
    m_list->setUniformItemSizes(true);
    auto *listLabel = new QLabel(tr("&Items:"), this);
    listLabel->setBuddy(m_list);
    if (offerTopLevel) {
        auto *top = new QListWidgetItem(tr("(the top level)"), m_list);
        top->setData(kChoiceKeyRole, QString());
    }
    QListWidgetItem *current = nullptr;
    for (const ChoosableItem &item : items) {
        auto *line = new QListWidgetItem(item.key + QStringLiteral(": ") + item.path, m_list);
        line->setData(kChoiceKeyRole, item.key);
        if (item.key == currentKey && !currentKey.isEmpty())
            current = line;
    }

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    m_ok->setObjectName(QStringLiteral("ok"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    connect(m_filter, &QLineEdit::textChanged, this, &ItemChooser::narrow);
    connect(m_list, &QListWidget::currentItemChanged, this,
            [this](QListWidgetItem *item) { m_ok->setEnabled(item && !item->isHidden()); });
    m_filter->installEventFilter(this);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(filterLabel);
    layout->addWidget(m_filter);
    layout->addWidget(listLabel);
    layout->addWidget(m_list);
    layout->addWidget(buttons);
    resize(520, 480);

    m_list->setCurrentItem(current ? current : m_list->item(0));
    m_ok->setEnabled(m_list->currentItem() != nullptr);
    if (m_list->currentItem())
        m_list->scrollToItem(m_list->currentItem(), QAbstractItemView::PositionAtCenter);
    m_filter->setFocus();
}

std::optional<QString> ItemChooser::choose(const std::vector<ChoosableItem> &items,
                                           const QString &currentKey, bool offerTopLevel,
                                           const QString &title, QWidget *parent)
{
    ItemChooser chooser(items, currentKey, offerTopLevel, title, parent);
    if (chooser.exec() != QDialog::Accepted)
        return std::nullopt;
    return chooser.chosenKey();
}

std::optional<QString> ItemChooser::chosenKey() const
{
    const QListWidgetItem *item = m_list->currentItem();
    if (!item || item->isHidden())
        return std::nullopt;
    return item->data(kChoiceKeyRole).toString();
}

bool ItemChooser::eventFilter(QObject *watched, QEvent *event)
{
    // The keys that move in a list move in it from the filter, where the user types.
    if (watched == m_filter && event->type() == QEvent::KeyPress) {
        switch (static_cast<QKeyEvent *>(event)->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            QCoreApplication::sendEvent(m_list, event);
            return true;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void ItemChooser::narrow(const QString &typed)
{
    const QStringList words = typed.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QListWidgetItem *firstShown = nullptr;
    for (int row = 0; row < m_list->count(); ++row) {
        QListWidgetItem *item = m_list->item(row);
        const QString line = item->text();
        bool shown = true;
        for (const QString &word : words)
            shown = shown && line.contains(word, Qt::CaseInsensitive);
        item->setHidden(!shown);
        if (shown && !firstShown)
            firstShown = item;
    }
    // The line chosen stays chosen while it shows; otherwise the first line that shows.
    QListWidgetItem *current = m_list->currentItem();
    if (!current || current->isHidden())
        m_list->setCurrentItem(firstShown);
    if (m_list->currentItem())
        m_list->scrollToItem(m_list->currentItem());
    m_ok->setEnabled(chosenKey().has_value());
}

} // namespace quillet
