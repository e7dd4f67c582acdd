#include "notes/windows/ItemChooser.h"

#include "notes/outline/OutlineModel.h"
#include "notes/outline/OutlineShape.h"
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
// What the filter looks in: the item's path.
constexpr int kPathRole = Qt::UserRole + 1;

bool choosable(const QListWidgetItem *line)
{
    return line && !line->isHidden() && (line->flags() & Qt::ItemIsEnabled);
}

} // namespace

std::vector<ChoosableItem> choosableItems(const OutlineModel &nodes)
{
    std::vector<ChoosableItem> items;
    items.reserve(static_cast<std::size_t>(nodes.count()));
    // Depth first, as the outline shows its items; the stack holds the items still to come,
    // the next on top.
    std::vector<std::pair<int, int>> pending; // node number, depth
    for (auto top = nodes.topLevel().rbegin(); top != nodes.topLevel().rend(); ++top)
        pending.emplace_back(*top, 0);
    while (!pending.empty()) {
        const auto [number, depth] = pending.back();
        pending.pop_back();
        const OutlineModel::Node &node = nodes.node(number);
        items.push_back(
            {node.key, node.text, nodes.fullPath(number, OutlineView::kPathSeparator), depth, {}});
        for (auto child = node.children.rbegin(); child != node.children.rend(); ++child)
            pending.emplace_back(*child, depth + 1);
    }
    return items;
}

std::vector<ChoosableItem> moveTargets(const OutlineModel &nodes, const QString &movedKey,
                                       QString &topRefusal)
{
    const OutlineShape shape(nodes);
    const std::string moved = movedKey.toStdString();
    const auto refusal = [&](const moves::Place &place) {
        const std::string why = moves::judge(shape, moved, place).refusal;
        return why.empty() ? QString() : QString::fromStdString(why) + QLatin1Char('.');
    };
    topRefusal = refusal({moves::Place::Kind::Top, {}});
    std::vector<ChoosableItem> items = choosableItems(nodes);
    for (ChoosableItem &item : items)
        item.refusal = refusal({moves::Place::Kind::Under, item.key.toStdString()});
    return items;
}

ItemChooser::ItemChooser(const std::vector<ChoosableItem> &items, const QString &currentKey,
                         bool offerTopLevel, const QString &title, QWidget *parent,
                         const QString &topRefusal)
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
    // What cannot be chosen is greyed and passed over by the keys; why shows on pointing at it.
    const auto refuse = [](QListWidgetItem *line, const QString &why) {
        if (why.isEmpty())
            return;
        line->setFlags(line->flags() & ~(Qt::ItemIsEnabled | Qt::ItemIsSelectable));
        line->setToolTip(line->toolTip().isEmpty() ? why : line->toolTip() + u'\n' + why);
    };
    if (offerTopLevel) {
        auto *top = new QListWidgetItem(tr("(the top level)"), m_list);
        top->setData(kChoiceKeyRole, QString());
        top->setData(kPathRole, top->text());
        refuse(top, topRefusal);
    }
    const QColor untitled = palette().color(QPalette::Disabled, QPalette::Text);
    QListWidgetItem *current = nullptr;
    for (const ChoosableItem &item : items) {
        const QString indent(item.depth * 4, u' ');
        auto *line = new QListWidgetItem(
            indent + (item.title.isEmpty() ? tr("(untitled)") : item.title), m_list);
        if (item.title.isEmpty())
            line->setForeground(untitled);
        line->setData(kChoiceKeyRole, item.key);
        line->setData(kPathRole, item.path);
        line->setToolTip(item.path);
        refuse(line, item.refusal);
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
            [this](QListWidgetItem *item) { m_ok->setEnabled(choosable(item)); });
    m_filter->installEventFilter(this);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(filterLabel);
    layout->addWidget(m_filter);
    layout->addWidget(listLabel);
    layout->addWidget(m_list);
    layout->addWidget(buttons);
    resize(520, 480);

    m_list->setCurrentItem(current ? current : m_list->item(0));
    m_ok->setEnabled(choosable(m_list->currentItem()));
    if (m_list->currentItem())
        m_list->scrollToItem(m_list->currentItem(), QAbstractItemView::PositionAtCenter);
    m_filter->setFocus();
}

std::optional<QString> ItemChooser::choose(const std::vector<ChoosableItem> &items,
                                           const QString &currentKey, bool offerTopLevel,
                                           const QString &title, QWidget *parent,
                                           const QString &topRefusal)
{
    ItemChooser chooser(items, currentKey, offerTopLevel, title, parent, topRefusal);
    if (chooser.exec() != QDialog::Accepted)
        return std::nullopt;
    return chooser.chosenKey();
}

std::optional<QString> ItemChooser::chosenKey() const
{
    const QListWidgetItem *item = m_list->currentItem();
    if (!choosable(item))
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
        const QString path = item->data(kPathRole).toString();
        bool shown = true;
        for (const QString &word : words)
            shown = shown && path.contains(word, Qt::CaseInsensitive);
        item->setHidden(!shown);
        if (shown && !firstShown && choosable(item))
            firstShown = item;
    }
    // The line chosen stays chosen while it shows; otherwise the first line that shows.
    if (!choosable(m_list->currentItem()))
        m_list->setCurrentItem(firstShown);
    if (m_list->currentItem())
        m_list->scrollToItem(m_list->currentItem());
    m_ok->setEnabled(chosenKey().has_value());
}

} // namespace quillet
