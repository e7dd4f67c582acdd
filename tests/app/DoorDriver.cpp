// The program as the door ends it, for the door test: the main window over the database given,
// with the single-instance lock held and the damage check running, and a click on the door.
// The program's own ending ends this process; returning from main means the door did not.

#include "app/MDIForm1.h"
#include "app/Startup.h"
#include "notes/Form3.h"
#include "platform/SingleInstance.h"
#include "session/NotesSession.h"
#include "support/PrintedMessageBoxes.h"

#include <QApplication>
#include <QFileInfo>
#include <QTimer>
#include <QToolButton>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc != 2)
        return 2;
    const QString path = QString::fromLocal8Bit(argv[1]);
    quillet::SingleInstance instance(QFileInfo(path).absolutePath());
    if (!instance.acquire())
        return 4;
    quillet::test::PrintedMessageBoxes boxes;
    quillet::Platform platform{.messageBoxes = boxes, .endProgram = quillet::endAtOnce(instance)};
    quillet::NotesSession session;
    std::unique_ptr<quillet::MDIForm1> window =
        quillet::openMainWindow(platform, session, path, QStringLiteral("quillet-db"));
    if (!window)
        return 5;
    window->show();
    window->startDamageCheckAndBackup();
    QTimer::singleShot(
        0, [&] { window->form3()->findChild<QToolButton *>(QStringLiteral("Command8"))->click(); });
    app.exec();
    return 3;
}
