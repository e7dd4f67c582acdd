#include "notes/windows/HistoryWindow.h"

#include "notes/editor/NoteEditor.h"
#include "notes/outline/TrimValue.h"
#include "notes/windows/LineDiff.h"
#include "session/NotesSession.h"
#include "store/NoteStore.h"

#include <QClipboard>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>

namespace quillet {

namespace {

// A version's row as the editor shows a note.
std::optional<NoteRow> noteRowOf(const StoredRow &row)
{
    return NoteRow{row[3], row[5], row[6], row[7], row[8], row[9], row[10]};
}

QString summaryLine(const VersionSummary &summary)
{
    const QString when =
        QDateTime::fromSecsSinceEpoch(summary.keptAt).toString(QStringLiteral("yyyy-MM-dd  HH:mm"));
    QString first = fromStored(summary.start).section(QLatin1Char('\n'), 0, 0).trimmed();
    if (first.isEmpty())
        first = QObject::tr("(empty)");
    const QString size = QLocale().toString(static_cast<qlonglong>(summary.bytes));
    return summary.titleOnly ? QObject::tr("%1  title  \"%2\"").arg(when, first)
                             : QObject::tr("%1  %2 bytes  %3").arg(when, size, first);
}

} // namespace

void HistoryWindow::showFor(NotesSession &session, const std::string &storedKey,
                            const QString &title, const QString &current, QWidget *parent,
                            const std::function<void(std::int64_t)> &restore)
{
    std::optional<std::vector<VersionSummary>> summaries = session.versionsOf(storedKey);
    if (!summaries)
        return;
    HistoryWindow window(session, std::move(*summaries), title, current, parent);
    connect(&window, &HistoryWindow::restoreRequested, &window, [&](std::int64_t number) {
        restore(number);
        window.accept();
    });
    window.exec();
}

HistoryWindow::HistoryWindow(NotesSession &session, std::vector<VersionSummary> summaries,
                             const QString &title, const QString &current, QWidget *parent)
    : QDialog(parent)
    , m_session(session)
    , m_current(current)
    , m_summaries(std::move(summaries))
{
    setObjectName(QStringLiteral("HistoryWindow"));
    setWindowTitle(tr("Earlier versions of \"%1\"").arg(title));

    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("versions"));
    m_list->setAccessibleName(tr("Versions"));
    // With nothing kept yet the list's own label says so, where the eye looks for versions.
    auto *listLabel =
        new QLabel(m_summaries.empty() ? tr("No earlier versions of this note are kept yet.")
                                       : tr("&Versions, newest first:"),
                   this);
    listLabel->setObjectName(QStringLiteral("versionsLabel"));
    listLabel->setBuddy(m_list);
    for (const VersionSummary &summary : m_summaries)
        m_list->addItem(summaryLine(summary));

    m_version = new NoteEditor(this);
    m_version->setObjectName(QStringLiteral("version"));
    m_version->setReadOnly(true);
    m_version->setAccessibleName(tr("The chosen version"));
    auto *versionLabel = new QLabel(tr("&The version:"), this);
    versionLabel->setBuddy(m_version);

    m_difference = new QPlainTextEdit(this);
    m_difference->setObjectName(QStringLiteral("difference"));
    m_difference->setReadOnly(true);
    m_difference->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_difference->setAccessibleName(tr("Difference from the note now"));
    auto *differenceLabel =
        new QLabel(tr("&Difference from the note now (- only in the version, + only now):"), this);
    differenceLabel->setBuddy(m_difference);

    auto *buttons = new QDialogButtonBox(this);
    m_restore = buttons->addButton(tr("&Restore"), QDialogButtonBox::ActionRole);
    m_restore->setObjectName(QStringLiteral("restore"));
    m_copy = buttons->addButton(tr("&Copy"), QDialogButtonBox::ActionRole);
    m_copy->setObjectName(QStringLiteral("copy"));
    buttons->addButton(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_restore, &QPushButton::clicked, this, [this] {
        if (m_shown && !m_shown->titleOnly)
            emit restoreRequested(m_shown->number);
    });
    connect(m_copy, &QPushButton::clicked, this,
            [this] { QGuiApplication::clipboard()->setText(chosenText()); });

    auto *layout = new QGridLayout(this);
    layout->addWidget(listLabel, 0, 0);
    layout->addWidget(m_list, 1, 0, 3, 1);
    layout->addWidget(versionLabel, 0, 1);
    layout->addWidget(m_version, 1, 1);
    layout->addWidget(differenceLabel, 2, 1);
    layout->addWidget(m_difference, 3, 1);
    layout->addWidget(buttons, 4, 0, 1, 2);
    layout->setColumnStretch(1, 2);
    resize(900, 600);

    connect(m_list, &QListWidget::currentRowChanged, this, &HistoryWindow::showVersion);
    if (m_list->count() > 0)
        m_list->setCurrentRow(0);
    else
        showVersion(-1);
    m_list->setFocus();
}

void HistoryWindow::showVersion(int row)
{
    m_shown.reset();
    if (row >= 0 && row < static_cast<int>(m_summaries.size()))
        m_shown = m_session.version(m_summaries[static_cast<std::size_t>(row)].number);
    m_restore->setEnabled(m_shown && !m_shown->titleOnly);
    m_copy->setEnabled(m_shown.has_value());
    if (!m_shown) {
        m_version->showText(QString());
        m_difference->clear();
        return;
    }
    m_version->showText(chosenText());
    if (!m_shown->titleOnly)
        m_version->setFormat(shownFormat(noteRowOf(m_shown->row), defaultFormat()));
    m_difference->setPlainText(differenceText(chosenText(), m_current));
}

QString HistoryWindow::chosenText() const
{
    if (!m_shown)
        return {};
    return TrimValue(m_shown->titleOnly ? m_shown->row[2] : m_shown->row[3]);
}

} // namespace quillet
