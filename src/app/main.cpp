#include "app/DeferredIconStyle.h"
#include "app/MDIForm1.h"
#include "app/Startup.h"
#include "notes/Form3.h"
#include "notes/NotesSession.h"
#include "platform/SingleInstance.h"
#include "platform/TerminationSignals.h"
#include "platform/qt/QtChoosers.h"
#include "platform/qt/QtMessageBoxes.h"
#include "platform/qt/QtPrinters.h"
#include "platform/qt/QtShell.h"
#include "platform/qt/QtWindowFrames.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillet"));
    QApplication::setStyle(new quillet::DeferredIconStyle(QApplication::style()->name()));

    const QString folder = QApplication::applicationDirPath();
    const QString database = quillet::databasePathIn(folder);
    // A second copy started for a database that a running copy has open brings that copy's
    // window to the front and ends, silently.
    quillet::SingleInstance instance(database);
    if (!instance.acquire()) {
        instance.askToBringToFront();
        return 0;
    }

    quillet::QtMessageBoxes messageBoxes;
    if (quillet::refuseDatabaseInUse(messageBoxes, database))
        return 1;
    quillet::QtChoosers choosers;
    quillet::QtWindowFrames frames;
    quillet::QtPrinters printers;
    quillet::QtShell shell(messageBoxes);
    quillet::Platform platform{.messageBoxes = messageBoxes,
                               .choosers = &choosers,
                               .frames = &frames,
                               .printers = &printers,
                               .shell = &shell,
                               .endProgram = quillet::endAtOnce(instance)};
    // The open notes file outlives the windows that work on it.
    quillet::NotesSession session;
    std::unique_ptr<quillet::MDIForm1> window = quillet::openMainWindow(
        platform, session, database, folder + QStringLiteral("/quillet-db"));
    if (!window)
        return 1;
    quillet::TerminationSignals terminations;
    quillet::closeOnSessionEndOrSignal(*window, terminations);
    window->show();
    quillet::whenShown(*window, [&instance, &window] {
        instance.listen([&window] { quillet::bringToFront(*window); });
        window->startDamageCheckAndBackup();
        window->form3()->startSpelling();
    });
    return app.exec();
}
