#include "app/Startup.h"

#include "app/MDIForm1.h"
#include "keeping/DurableFiles.h"
#include "keeping/InUseLock.h"
#include "platform/MessageBoxes.h"
#include "platform/SingleInstance.h"
#include "platform/TerminationSignals.h"
#include "store/StoreError.h"

#include <QApplication>
#include <QFileInfo>

#include <cstdio>
#include <cstdlib>

namespace quillet {

QString databasePathIn(const QString &programFolder)
{
    return QString::fromStdString(
        durable::resolved((programFolder + QStringLiteral("/mydata.mdb")).toStdString()));
}

bool refuseDatabaseInUse(MessageBoxes &boxes, const QString &databasePath)
{
    if (!isInUse(databasePath.toStdString()))
        return false;
    boxes.inform(nullptr, QStringLiteral("Quillet"),
                 QObject::tr("The notes database %1 is open in another copy of Quillet, which "
                             "this one cannot reach (another user may be running it).\n\nTwo "
                             "copies would overwrite each other's changes, so this one ends. "
                             "Close the other copy first.")
                     .arg(databasePath),
                 MessageBoxes::Icon::Warning);
    return true;
}

std::unique_ptr<MDIForm1> openMainWindow(Platform &platform, NotesSession &session,
                                         const QString &databasePath, const QString &toolPath)
{
    auto window =
        std::make_unique<MDIForm1>(platform, session, databasePath.toStdString(), toolPath);
    try {
        window->MDIForm_Load();
    } catch (const DatabaseUnavailable &error) {
        const QString problem = QString::fromStdString(error.message());
        QString text = QObject::tr("Quillet cannot open its notes database.\n\nFile: %1\n%2\n\n")
                           .arg(databasePath, problem);
        if (QFileInfo(databasePath).isSymLink() && !QFileInfo::exists(databasePath)) {
            // A new database made here would not be where the link points; the file it points
            // to is what is missing.
            text += QObject::tr("Put back the file the link points to, or point the link at "
                                "your notes database.");
        } else if (!QFileInfo::exists(databasePath)) {
            text += QObject::tr("To make a new, empty notes database there, run:\n  %1 init %2")
                        .arg(toolPath, databasePath);
        } else {
            text += QObject::tr("The file has been left exactly as it was. To see every problem "
                                "in it, run:\n  %1 check %2\n\nTo start afresh, move the file "
                                "aside and make a new, empty notes database with:\n  %1 init %2")
                        .arg(toolPath, databasePath);
        }
        platform.messageBoxes.inform(nullptr, QStringLiteral("Quillet"), text,
                                     MessageBoxes::Icon::Critical);
        return nullptr;
    }
    return window;
}

std::function<void()> endAtOnce(SingleInstance &instance)
{
    return [&instance] {
        instance.release();
        std::fflush(nullptr);
        std::_Exit(0);
    };
}

void bringToFront(QWidget &window)
{
    window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
    window.show();
    window.raise();
    window.activateWindow();
}

void closeOnSessionEndOrSignal(MDIForm1 &window, TerminationSignals &terminations)
{
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, &window,
                     [&window] { window.close(); });
    QObject::connect(&terminations, &TerminationSignals::requested, &window, [&window] {
        window.close();
        QApplication::quit();
    });
}

} // namespace quillet
