// The program's main window over the database given, shown on whatever screen the platform
// has, for the tests that look at it at other screen sizes and scales: it writes where the
// window and its main controls are, in the window's own pixels, and the screen's size and
// scale, one "name x y width height" line each, then ends.

#include "app/MDIForm1.h"
#include "app/Startup.h"
#include "notes/Form3.h"
#include "session/NotesSession.h"
#include "support/PrintedMessageBoxes.h"

#include <QApplication>
#include <QScreen>
#include <QTest>

#include <cstdio>

namespace {

void print(const char *name, const QRect &r)
{
    std::printf("%s %d %d %d %d\n", name, r.x(), r.y(), r.width(), r.height());
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc != 2)
        return 2;
    quillet::test::PrintedMessageBoxes boxes;
    quillet::Platform platform{boxes};
    quillet::NotesSession session;
    std::unique_ptr<quillet::MDIForm1> window = quillet::openMainWindow(
        platform, session, QString::fromLocal8Bit(argv[1]), QStringLiteral("quillet-db"));
    if (!window)
        return 5;
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        return 6;
    const QScreen *screen = window->screen();
    print("screen", screen->availableGeometry());
    std::printf("scale %g\n", screen->devicePixelRatio());
    print("window", QRect(window->pos(), window->size()));
    quillet::Form3 &notes = *window->form3();
    for (const char *name : {"Text1", "TreeView1", "Frame1", "Label3", "Command10"}) {
        const QWidget *control = notes.findChild<QWidget *>(QString::fromLatin1(name));
        print(name, QRect(control->mapTo(window.get(), QPoint(0, 0)), control->size()));
    }
    return 0;
}
