#include "app/Program.h"

#include "app/DeferredIconStyle.h"
#include "app/MDIForm1.h"
#include "app/Startup.h"
#include "app/StartupMessages.h"
#include "app/UserNotes.h"
#include "notes/Form3.h"
#include "packaging/BuildInfo.h"
#include "packaging/UserNotesPlace.h"
#include "platform/MessageBoxes.h"
#include "platform/SingleInstance.h"
#include "platform/TerminationSignals.h"
#include "platform/qt/QtChoosers.h"
#include "platform/qt/QtPrinters.h"
#include "platform/qt/QtShell.h"
#include "platform/qt/QtWindowFrames.h"
#include "session/NotesSession.h"

#include <QApplication>
#include <QIcon>

namespace quillet {

namespace {

// The desktop knows the program by its desktop entry: the window's class (the application's
// name) and its desktop file name match the entry, so that the dock shows the entry's icon.
void nameTheProgram()
{
    QApplication::setApplicationName(QStringLiteral("Quillet"));
    QGuiApplication::setDesktopFileName(QString::fromLatin1(build::kApplicationId));
    // The installed icon where the theme has it; the program's own copy when run from a folder.
    QApplication::setWindowIcon(QIcon::fromTheme(QString::fromLatin1(build::kApplicationId),
                                                 QIcon(QStringLiteral(":/quillet.svg"))));
    QApplication::setStyle(new DeferredIconStyle(QApplication::style()->name()));
}

} // namespace

int runProgram(NotesPlace place, MessageBoxes &messageBoxes)
{
    nameTheProgram();
    const QString programFolder = QApplication::applicationDirPath();
    const QString notesFolder = place == NotesPlace::UserDataFolder
                                    ? QString::fromStdString(installed::userNotesFolder())
                                    : programFolder;
    QString database = databasePathIn(notesFolder);
    // A second copy started for a database that a running copy has open brings that copy's
    // window to the front and ends, silently. The lock comes before the installed program's
    // first start makes anything, so that two starts at once make the notes once.
    auto instance = std::make_unique<SingleInstance>(database);
    if (!instance->acquire()) {
        instance->askToBringToFront();
        return 0;
    }
    if (refuseDatabaseInUse(messageBoxes, database))
        return 1;
    UserNotesStart start = UserNotesStart::Found;
    if (place == NotesPlace::UserDataFolder) {
        start = prepareUserNotes(messageBoxes, notesFolder);
        if (start == UserNotesStart::Declined)
            return 0;
        if (start == UserNotesStart::Failed)
            return 1;
        // A file that did not exist was known by its name; made, it is known as a file, as
        // every later start will know it (links followed): the lock is taken again by that.
        if (start != UserNotesStart::Found) {
            database = databasePathIn(notesFolder);
            auto relocked = std::make_unique<SingleInstance>(database);
            if (!relocked->acquire()) {
                relocked->askToBringToFront();
                return 0;
            }
            instance = std::move(relocked);
        }
    }

    QtChoosers choosers;
    QtWindowFrames frames;
    QtPrinters printers;
    QtShell shell(messageBoxes);
    Platform platform{.messageBoxes = messageBoxes,
                      .choosers = &choosers,
                      .frames = &frames,
                      .printers = &printers,
                      .shell = &shell,
                      .endProgram = endAtOnce(*instance)};
    // The open notes file outlives the windows that work on it.
    NotesSession session;
    std::unique_ptr<MDIForm1> window =
        openMainWindow(platform, session, database, programFolder + QStringLiteral("/quillet-db"));
    if (!window)
        return 1;
    TerminationSignals terminations;
    closeOnSessionEndOrSignal(*window, terminations);
    window->show();
    whenShown(*window, [&] {
        instance->listen([&window] { bringToFront(*window); });
        window->startDamageCheckAndBackup();
        window->form3()->startSpelling();
        if (start == UserNotesStart::MadeFirst)
            messageBoxes.inform(window.get(), QStringLiteral("Quillet"),
                                startupMessages::firstStart(database, notesFolder),
                                MessageBoxes::Icon::Information);
    });
    return QApplication::exec();
}

} // namespace quillet
