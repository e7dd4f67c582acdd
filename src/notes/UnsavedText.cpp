#include "notes/UnsavedText.h"

#include "keeping/RecoveryFile.h"
#include "platform/Guard.h"
#include "store/Sqlite.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QStandardPaths>
#include <QTimer>
#include <QWidget>

#include <stdexcept>
#include <utility>

namespace quillet {

UnsavedText::UnsavedText(MessageBoxes &boxes, QWidget *owner)
    : QObject(owner)
    , m_boxes(boxes)
    , m_owner(owner)
    , m_pause(new QTimer(this))
{
    m_pause->setObjectName(QStringLiteral("typingPause"));
    m_pause->setSingleShot(true);
    m_pause->setInterval(kPauseBeforeSaveMs);
    connect(m_pause, &QTimer::timeout, this, &UnsavedText::pauseInTyping);
}

void UnsavedText::typed()
{
    if (!m_closing)
        m_pause->start();
}

void UnsavedText::stored()
{
    m_unsaved = false;
    m_pause->stop();
}

void UnsavedText::setClosing(bool closing)
{
    m_closing = closing;
    if (closing)
        m_pause->stop();
}

void UnsavedText::notStored(const QString &fullPath, const std::exception &why)
{
    m_unsaved = true;
    m_failedPath = fullPath;
    m_failure = causeOf(why);
    throw std::runtime_error(
        tr("Your note in \"%1\" was NOT stored.\n\n").arg(fullPath).toStdString() + why.what() +
        tr("\n\nThe text is still in the editor. Quillet stores it when you leave the editor "
           "or choose another item, once the problem is solved.")
            .toStdString());
}

void UnsavedText::reportLater(const QString &message)
{
    // The control that took the focus acts next, in the same user action; it must find the
    // failure pending, not yet shown. A close begun meanwhile says it with its own failures.
    m_reportPending = true;
    m_report = message;
    QTimer::singleShot(0, this, &UnsavedText::reportWhenClickEnds);
}

void UnsavedText::sayLater(const QString &notice)
{
    m_notices << notice;
    QTimer::singleShot(0, this, &UnsavedText::reportWhenClickEnds);
}

void UnsavedText::reportWhenClickEnds()
{
    if (!m_reportPending && m_notices.isEmpty())
        return;
    // A mouse press moved the focus, and its button acts on release: a box shown before then
    // would take the release, and the click would be lost. The report waits for it.
    if (QGuiApplication::mouseButtons() != Qt::NoButton) {
        qApp->installEventFilter(this);
        return;
    }
    const bool failed = std::exchange(m_reportPending, false);
    const QStringList notices = std::exchange(m_notices, QStringList());
    if (m_closing)
        return;
    if (failed)
        reportUnhandled(m_boxes, m_owner, m_report);
    for (const QString &notice : notices)
        m_boxes.inform(m_owner, QStringLiteral("Quillet"), notice, MessageBoxes::Icon::Warning);
}

bool UnsavedText::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        qApp->removeEventFilter(this);
        // After the release has reached its control, and that control has acted.
        QTimer::singleShot(0, this, &UnsavedText::reportWhenClickEnds);
    }
    return QObject::eventFilter(watched, event);
}

NoteKeptAside UnsavedText::keepAtClosing(const std::string &databasePath, const QString &key,
                                         const QString &text)
{
    // The door can be pressed again and again while the note cannot be stored: one file per
    // text is enough.
    if (key != m_recoveredKey || text != m_recoveredText || m_recoveryFile.isEmpty() ||
        !QFileInfo::exists(m_recoveryFile)) {
        m_recoveryFile = writeRecoveryFile(databasePath, key, text);
        m_recoveredKey = key;
        m_recoveredText = text;
    }
    const QString &file = m_recoveryFile;
    QString what = tr("Your note in \"%1\" was NOT stored; ").arg(m_failedPath);
    if (file.isEmpty())
        what += tr("its text could not be written to a recovery file either.");
    else
        what += tr("so that it is not lost, its text was written to:\n  %1").arg(file);
    return {what, m_failure};
}

QString causeOf(const std::exception &error)
{
    if (const auto *store = dynamic_cast<const StoreError *>(&error)) {
        // A fault in the data (code 0) has no cause of the engine's: its own words say it.
        return QString::fromStdString(store->code() != 0 ? plainCause(store->code())
                                                         : store->message());
    }
    return QString::fromUtf8(error.what());
}

QString UnsavedText::writeRecoveryFile(const std::string &databasePath, const QString &key,
                                       const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    return QString::fromStdString(recovery::write(
        databasePath, key.toStdString(), std::string_view(bytes.data(), bytes.size()),
        {QStandardPaths::writableLocation(QStandardPaths::HomeLocation).toStdString(),
         QStandardPaths::writableLocation(QStandardPaths::TempLocation).toStdString()}));
}

} // namespace quillet
