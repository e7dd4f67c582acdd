#include "notes/windows/FindWindow.h"

#include "notes/outline/OutlineView.h"
#include "notes/outline/TrimValue.h"

#include <QAbstractTextDocumentLayout>
#include <QCheckBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPainter>
#include <QRadioButton>
#include <QStyledItemDelegate>
#include <QTextDocument>
#include <QTimer>

namespace quillet {

namespace {

constexpr int kFoundKeyRole = Qt::UserRole;
constexpr int kMarkedRole = Qt::UserRole + 1;

// Draws a result's marked-up text: the path, and the match in bold.
class MarkedTextDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        QStyleOptionViewItem item = option;
        initStyleOption(&item, index);
        item.text.clear();
        item.widget->style()->drawControl(QStyle::CE_ItemViewItem, &item, painter, item.widget);
        QTextDocument document;
        document.setDefaultFont(item.font);
        document.setHtml(index.data(kMarkedRole).toString());
        QAbstractTextDocumentLayout::PaintContext context;
        const bool selected = item.state & QStyle::State_Selected;
        context.palette.setColor(
            QPalette::Text,
            item.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        painter->save();
        painter->translate(item.rect.topLeft());
        painter->setClipRect(QRect(QPoint(0, 0), item.rect.size()));
        document.documentLayout()->draw(painter, context);
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QTextDocument document;
        document.setDefaultFont(option.font);
        document.setHtml(index.data(kMarkedRole).toString());
        return document.size().toSize();
    }
};

// Part of a stored text, as the toolkit's text.
QString partOf(std::string_view text, std::size_t from, std::size_t length = std::string::npos)
{
    return fromStored(text.substr(std::min(from, text.size()), length));
}

// What the search found, as the status line says it: every match, and the notes and titles
// they are in, in the user's own way of writing numbers.
QString statusOf(const SearchResults &results, int listed)
{
    const QLocale locale;
    const auto count = [&](std::int64_t n, const char *one, const char *many) {
        return FindWindow::tr(n == 1 ? one : many).arg(locale.toString(static_cast<qlonglong>(n)));
    };
    if (results.total == 0)
        return results.stopped ? FindWindow::tr("The notes could not be searched.")
                               : FindWindow::tr("No matches.");
    const std::int64_t notes = results.total - results.titles;
    QString where;
    if (notes > 0)
        where = count(notes, "%1 note", "%1 notes");
    if (results.titles > 0)
        where += (where.isEmpty() ? QString() : FindWindow::tr(" and ")) +
                 count(results.titles, "%1 title", "%1 titles");
    QString text = count(results.matches, "%1 match in ", "%1 matches in ") + where;
    if (results.total > listed)
        text += FindWindow::tr("; the first %1 are listed").arg(locale.toString(listed));
    return text + u'.';
}

} // namespace

FindWindow::FindWindow(Search search, const OutlineView &outline, QWidget *parent)
    : QDialog(parent)
    , m_searchNotes(std::move(search))
    , m_outline(outline)
{
    setObjectName(QStringLiteral("FindWindow"));
    setWindowTitle(tr("Find"));
    m_query = new QLineEdit(this);
    m_query->setObjectName(QStringLiteral("findText"));
    m_query->setClearButtonEnabled(true);
    auto *findLabel = new QLabel(tr("F&ind:"), this);
    findLabel->setBuddy(m_query);
    m_titles = new QRadioButton(tr("&Titles"), this);
    m_notes = new QRadioButton(tr("Titles and &notes"), this);
    m_notes->setChecked(true);
    m_matchCase = new QCheckBox(tr("&Match case"), this);
    m_results = new QListWidget(this);
    m_results->setObjectName(QStringLiteral("findResults"));
    m_results->setItemDelegate(new MarkedTextDelegate(m_results));
    m_results->setAccessibleName(tr("Matches"));
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("findStatus"));

    auto *layout = new QGridLayout(this);
    layout->addWidget(findLabel, 0, 0);
    layout->addWidget(m_query, 0, 1, 1, 3);
    layout->addWidget(m_titles, 1, 1);
    layout->addWidget(m_notes, 1, 2);
    layout->addWidget(m_matchCase, 1, 3);
    layout->addWidget(m_results, 2, 0, 1, 4);
    layout->addWidget(m_status, 3, 0, 1, 4);
    resize(560, 420);

    // Up, Down, Page Up and Page Down in the field move through the matches; the field keeps
    // the focus, and Enter goes to the highlighted one.
    m_query->installEventFilter(this);
    m_afterTyping = new QTimer(this);
    m_afterTyping->setSingleShot(true);
    m_afterTyping->setInterval(1000);
    connect(m_afterTyping, &QTimer::timeout, this, &FindWindow::searchAgain);

    connect(m_query, &QLineEdit::textChanged, this, &FindWindow::search);
    connect(m_titles, &QRadioButton::toggled, this, &FindWindow::search);
    connect(m_matchCase, &QCheckBox::toggled, this, &FindWindow::search);
    connect(m_results, &QListWidget::itemActivated, this, &FindWindow::choose);
    // Enter in the field goes to the highlighted match.
    connect(m_query, &QLineEdit::returnPressed, this, [this] {
        if (m_results->count() > 0)
            choose(m_results->currentItem() ? m_results->currentItem() : m_results->item(0));
    });
}

FindWindow::~FindWindow() = default;

bool FindWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_query && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        switch (key->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown: {
            QKeyEvent moved(QEvent::KeyPress, key->key(), Qt::NoModifier);
            QCoreApplication::sendEvent(m_results, &moved);
            return true;
        }
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void FindWindow::outlineChanged()
{
    if (isVisible() && !m_query->text().isEmpty())
        searchAgain();
}

void FindWindow::noteStored()
{
    if (isVisible() && !m_query->text().isEmpty() && !m_afterTyping->isActive())
        m_afterTyping->start();
}

void FindWindow::searchAgain()
{
    m_afterTyping->stop();
    if (const QListWidgetItem *current = m_results->currentItem()) {
        m_keptKey = current->data(kFoundKeyRole).toString();
        m_keptText = current->text();
    }
    search();
}

void FindWindow::showAndFocus()
{
    show();
    raise();
    activateWindow();
    m_query->setFocus();
    m_query->selectAll();
}

SearchRequest FindWindow::request() const
{
    SearchRequest request;
    request.query = m_query->text().toStdString();
    request.notes = m_notes->isChecked();
    request.matchCase = m_matchCase->isChecked();
    return request;
}

std::optional<QString> FindWindow::step(int direction)
{
    for (int row = m_results->currentRow() + direction; row >= 0 && row < m_results->count();
         row += direction) {
        QListWidgetItem *item = m_results->item(row);
        if (!(item->flags() & Qt::ItemIsEnabled))
            continue;
        m_results->setCurrentItem(item);
        return item->data(kFoundKeyRole).toString();
    }
    return std::nullopt;
}

void FindWindow::search()
{
    m_search.stop();
    const quint64 generation = ++m_generation;
    const SearchRequest request = this->request();
    if (request.query.empty()) {
        showResults(generation, {});
        return;
    }
    m_status->setText(tr("Searching..."));
    m_search.start(
        [this, request, generation, search = m_searchNotes](const std::atomic<bool> &stop) {
            SearchResults results;
            try {
                results = search(request, stop);
            } catch (const std::exception &) {
                // The file cannot be read now: nothing is found, and the window says so.
                results.stopped = true;
            }
            m_search.answer([this, generation, results] { showResults(generation, results); });
        });
}

void FindWindow::showResults(quint64 generation, const SearchResults &results)
{
    // The answer of a search that a later keystroke replaced is dropped.
    if (generation != m_generation)
        return;
    m_results->clear();
    const OutlineModel &nodes = m_outline.nodes();
    for (const SearchHit &hit : results.hits) {
        const QString key = fromStored(hit.key);
        const int number = nodes.find(key);
        const QString path = number >= 0 ? nodes.fullPath(number, OutlineView::kPathSeparator)
                                         : tr("%1 (not in the outline)").arg(key);
        const QString before = partOf(hit.context, 0, hit.hitStart);
        const QString match = partOf(hit.context, hit.hitStart, hit.hitLength);
        const QString after = partOf(hit.context, hit.hitStart + hit.hitLength);
        auto *item = new QListWidgetItem(m_results);
        if (hit.inNote) {
            item->setText(path + QStringLiteral(": ") + before + match + after);
            item->setData(kMarkedRole, path.toHtmlEscaped() + QStringLiteral(": ") +
                                           before.toHtmlEscaped() + QStringLiteral("<b>") +
                                           match.toHtmlEscaped() + QStringLiteral("</b>") +
                                           after.toHtmlEscaped());
        } else {
            item->setText(path);
            item->setData(kMarkedRole, path.toHtmlEscaped());
        }
        item->setData(kFoundKeyRole, key);
        if (number < 0)
            item->setFlags(item->flags() & ~Qt::ItemIsEnabled);
    }
    // The first match is highlighted; after a search run again, the match that was, if it is
    // still there (the same line of the same item), else the first of its item.
    int sameLine = -1;
    int sameItem = -1;
    for (int row = 0; !m_keptKey.isEmpty() && row < m_results->count(); ++row) {
        const QListWidgetItem *item = m_results->item(row);
        if (item->data(kFoundKeyRole).toString() != m_keptKey)
            continue;
        if (sameItem < 0)
            sameItem = row;
        if (sameLine < 0 && item->text() == m_keptText)
            sameLine = row;
    }
    m_keptKey.clear();
    m_keptText.clear();
    const int highlighted = sameLine >= 0 ? sameLine : std::max(sameItem, 0);
    if (m_results->count() > 0)
        m_results->setCurrentRow(highlighted);
    m_status->setText(m_query->text().isEmpty() ? QString()
                                                : statusOf(results, m_results->count()));
}

void FindWindow::choose(QListWidgetItem *item)
{
    if (item && (item->flags() & Qt::ItemIsEnabled))
        emit itemChosen(item->data(kFoundKeyRole).toString());
}

} // namespace quillet
