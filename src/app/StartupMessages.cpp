#include "app/StartupMessages.h"

#include "notes/outline/OutlineLoader.h"

#include <QObject>

namespace quillet::startupMessages {

QString rowsLeftOut(const QString &file, const std::vector<SkippedRow> &rows, const QString &tool)
{
    constexpr std::size_t kListed = 20;
    QString list;
    for (std::size_t i = 0; i < rows.size() && i < kListed; ++i)
        list +=
            QObject::tr("  ID %1, key \"%2\": %3\n")
                .arg(rows[i].id)
                .arg(QString::fromStdString(rows[i].key), QString::fromStdString(rows[i].reason));
    if (rows.size() > kListed)
        list += QObject::tr("  and %1 more.\n").arg(rows.size() - kListed);
    return QObject::tr("Some rows of the notes database %1 cannot be placed in the outline, so "
                       "they are not shown; their notes stay in the file as they are:\n\n%2\nTo "
                       "see every problem in the file, run:\n  %3 check %1")
        .arg(file, list, tool);
}

QString readOnly(const QString &file)
{
    return QObject::tr("The notes database %1 is read-only, or its folder is.\n\nQuillet shows "
                       "your notes, but changes cannot be stored.")
        .arg(file);
}

QString emptyOutline(const QString &file, const QString &tool)
{
    return QObject::tr("The notes database %1 has no item that the outline can show, and new "
                       "items are added beside or below a selected one, so none can be added "
                       "here.\n\nTo see why the file's rows cannot be shown, run:\n  %2 check "
                       "%1\n\nTo start afresh, move the file aside and make a new notes "
                       "database with:\n  %2 init %1")
        .arg(file, tool);
}

QString damaged(const QString &file, const QString &problem, const QString &tool)
{
    return QObject::tr("The notes database %1 is damaged:\n\n%2\n\nQuillet shows what it can "
                       "read. Keep a copy of the file before changing anything, and to see every "
                       "problem, run:\n  %3 check %1")
        .arg(file, problem, tool);
}

QString backupFailed(const QString &file, const QString &problem, const QString &tool)
{
    return QObject::tr("Quillet could not make its daily backup of %1:\n\n%2\n\nYour notes are "
                       "as they were. To try again by hand, run:\n  %3 backup %1")
        .arg(file, problem, tool);
}

QString firstStart(const QString &file, const QString &folder)
{
    return QObject::tr("Welcome to Quillet.\n\nYour notes are kept in %1, which Quillet has "
                       "just made for you, with a note on how to begin. Everything kept beside "
                       "them (the daily backups, copies of deleted items, the notes' earlier "
                       "versions) goes in the same folder, %2, which only you can open.\n\nTo "
                       "keep your notes elsewhere, close Quillet, move the folder %2 there, and "
                       "in its place make the folder again with a link to mydata.mdb in it. "
                       "Moving the database alone would leave its backups, deleted items and "
                       "earlier versions behind.")
        .arg(file, folder);
}

QString notesMovedAway(const QString &file, const QString &folder)
{
    return QObject::tr("Quillet looked for your notes in %1, but the file is not there, "
                       "although its folder %2 is: your notes may have been moved or "
                       "renamed.\n\nIf you moved them, choose No, put the file back (or a link "
                       "to it where it is now) and start Quillet again.\n\nMake a new, empty "
                       "notes database there now?")
        .arg(file, folder);
}

QString notesNotMade(const QString &file, const QString &problem)
{
    return QObject::tr("Quillet cannot make your notes database %1:\n\n%2\n\nNothing was "
                       "made. Make room, or give yourself write access to the folder, then "
                       "start Quillet again.")
        .arg(file, problem);
}

} // namespace quillet::startupMessages
