#include "app/Startup.h"

#include "app/MDIForm1.h"
#include "platform/MessageBoxes.h"
#include "platform/SingleInstance.h"
#include "platform/TerminationSignals.h"
#include "session/NotesSession.h"

#include <QApplication>
#include <QFileInfo>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <cstdlib>

namespace quillet {

QString databasePathIn(const QString &programFolder)
{
    return QString::fromStdString(NotesSession::databaseIn(programFolder.toStdString()));
}

bool refuseDatabaseInUse(MessageBoxes &boxes, const QString &databasePath)
{
    if (!NotesSession::isOpenElsewhere(databasePath.toStdString()))
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
    session.setPath(databasePath.toStdString());
    auto window = std::make_unique<MDIForm1>(platform, session, toolPath);
    try {
        window->MDIForm_Load();
    } catch (const NotesUnavailable &error) {
        const QString problem = QString::fromUtf8(error.what());
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

namespace {

// Watches a window for its first expose; the toolkit draws and flushes the frame while handling
// it, so work queued from there runs once the frame is on the screen.
class FirstFrame : public QObject
{
public:
    FirstFrame(QWidget &window, std::function<void()> work)
        : QObject(&window)
        , m_work(std::move(work))
    {
        window.winId(); // the window's handle exists from here on
        window.windowHandle()->installEventFilter(this);
        QTimer::singleShot(1000, this, &FirstFrame::run);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Expose && static_cast<QWindow *>(watched)->isExposed())
            QTimer::singleShot(0, this, &FirstFrame::run);
        return false;
    }

private:
    void run()
    {
        if (!m_work)
            return;
        const std::function<void()> work = std::move(m_work);
        m_work = nullptr;
        deleteLater();
        work();
    }

    std::function<void()> m_work;
};

} // namespace

void whenShown(QWidget &window, std::function<void()> work)
{
    new FirstFrame(window, std::move(work));
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
