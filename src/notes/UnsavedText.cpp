#include "notes/UnsavedText.h"

#include "platform/Guard.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTimer>

#include <stdexcept>

namespace quillet {

UnsavedText::UnsavedText(MessageBoxes &boxes, QWidget *owner)
    : m_boxes(boxes)
    , m_owner(owner)
    , m_pause(new QTimer(this))
{
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
    m_failure = QString::fromUtf8(why.what());
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
    QTimer::singleShot(0, this, [this, message] {
        m_reportPending = false;
        if (!m_closing)
            reportUnhandled(m_boxes, m_owner, message);
    });
}

QString UnsavedText::keepAtClosing(const std::string &databasePath, const QString &key,
                                   const QString &text)
{
    const QString file = writeRecoveryFile(databasePath, key, text);
    QString message =
        tr("Your note in \"%1\" was NOT stored.\n\n%2\n\n").arg(m_failedPath, m_failure);
    if (file.isEmpty())
        message += tr("The text could not be written to a recovery file either.");
    else
        message += tr("So that it is not lost, the text was written to:\n%1").arg(file);
    return message;
}

QString UnsavedText::writeRecoveryFile(const std::string &databasePath, const QString &key,
                                       const QString &text)
{
    const QFileInfo database(QString::fromStdString(databasePath));
    const QString name = database.fileName() + QStringLiteral(".recovered-") + key +
                         QLatin1Char('-') +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")) +
                         QStringLiteral(".txt");
    const QStringList folders = {database.absolutePath(),
                                 QStandardPaths::writableLocation(QStandardPaths::HomeLocation),
                                 QStandardPaths::writableLocation(QStandardPaths::TempLocation)};
    const QByteArray bytes = text.toUtf8();
    for (const QString &folder : folders) {
        if (folder.isEmpty())
            continue;
        QSaveFile file(folder + QLatin1Char('/') + name);
        if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
            return file.fileName();
    }
    return {};
}

} // namespace quillet
