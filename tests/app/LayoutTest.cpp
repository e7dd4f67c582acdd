#include "app/Layout.h"

#include "app/MDIForm1.h"
#include "app/Startup.h"
#include "notes/Form3.h"
#include "platform/Twips.h"
#include "session/NotesSession.h"
#include "support/FakeMessageBoxes.h"
#include "support/NotesControls.h"
#include "support/TestDatabase.h"

#include <QFrame>
#include <QMdiArea>
#include <QTest>

#include <gtest/gtest.h>

namespace quillet::test {
namespace {

TEST(LayoutTest, EditorAndOutlineEndWhereThePanelBegins)
{
    const NotesLayout layout = layoutNotes(14340, 9465, 0, 0);
    EXPECT_EQ(layout.formWidth, 14340.0f);
    EXPECT_EQ(layout.formHeight, 9465.0f);
    EXPECT_EQ(layout.editorWidth, 14340.0f - 3885);
    EXPECT_EQ(layout.editorHeight, 9465.0f - 1320);
    EXPECT_EQ(layout.outlineHeight, 9465.0f - 960);
    EXPECT_EQ(layout.panelTop, 9465.0f - 960);
    // The editor's bottom (360 + height) is the panel's top.
    EXPECT_EQ(360 + *layout.editorHeight, layout.panelTop);
}

TEST(LayoutTest, NegativeSizesAreSkippedAndTheRestStillApplies)
{
    // Under 1320 twips high: the editor keeps its height; the outline and panel follow.
    NotesLayout layout = layoutNotes(3000, 1000, 14340, 9465);
    EXPECT_FALSE(layout.editorWidth);
    EXPECT_FALSE(layout.editorHeight);
    EXPECT_EQ(layout.outlineHeight, 40.0f);
    EXPECT_EQ(layout.panelTop, 40.0f);

    // Under 960: only the panel's top, which may be negative, still moves.
    layout = layoutNotes(5000, 900, 14340, 9465);
    EXPECT_EQ(layout.editorWidth, 1115.0f);
    EXPECT_FALSE(layout.outlineHeight);
    EXPECT_EQ(layout.panelTop, -60.0f);
}

// Each stored window opens usable on a 1600 x 1000 screen (a second one, 1280 x 1024, to the
// right of it): minimum 400 x 267, design size 956 x 631.
TEST(LayoutTest, AStoredWindowIsFittedToTheScreensThereAre)
{
    const QList<QRect> screens = {QRect(0, 0, 1600, 1000), QRect(1600, 0, 1280, 1024)};
    const QSize minimum(400, 267), design(956, 631);
    const std::tuple<const char *, QRect, QRect> cases[] = {
        {"as stored", QRect(100, 60, 600, 400), QRect(100, 60, 600, 400)},
        {"partly off, a quarter or more shown", QRect(-100, -50, 600, 400),
         QRect(-100, -50, 600, 400)},
        {"on the second screen", QRect(2000, 100, 800, 600), QRect(2000, 100, 800, 600)},
        {"on a screen since removed", QRect(60000, 60000, 600, 400), QRect(0, 0, 600, 400)},
        {"less than a quarter shown", QRect(-550, 900, 600, 400), QRect(0, 600, 600, 400)},
        {"larger than its screen", QRect(0, 0, 2560, 1440), QRect(0, 0, 1600, 1000)},
        {"9,000,000 twips", QRect(100, 60, 32767, 32767), QRect(0, 0, 1600, 1000)},
        {"no size", QRect(40, 40, 0, 0), QRect(40, 40, 956, 631)},
        {"30 pixels high", QRect(40, 40, 600, 30), QRect(40, 40, 956, 631)},
    };
    for (const auto &[name, stored, opened] : cases)
        EXPECT_EQ(fitWindow(stored, minimum, design, screens), opened) << name;
    // At 200% a 1920 x 1080 screen is 960 x 540: the design size is cut to it.
    EXPECT_EQ(fitWindow(QRect(40, 40, 0, 0), minimum, design, {QRect(0, 0, 960, 540)}),
              QRect(4, 0, 956, 540));
}

TEST(LayoutTest, TheNotesWindowFollowsTheMainWindow)
{
    TempFolder folder;
    const std::string path = folder.path("mydata.mdb");
    createDatabase(path, {{"A", "Alpha"}});
    execSql(path, "UPDATE parame SET timilo=CASE ID WHEN 3 THEN 12000 WHEN 4 THEN 8000 ELSE 0 "
                  "END");
    FakeMessageBoxes boxes;
    Platform platform{boxes};
    NotesSession session;
    std::unique_ptr<MDIForm1> window = openMainWindow(
        platform, session, QString::fromStdString(path), QStringLiteral("quillet-db"));
    ASSERT_TRUE(window);
    window->show();
    QCoreApplication::processEvents();
    Form3 &notes = *window->form3();
    const NotesControls ui(notes);
    const int outlineWidth = ui.TreeView1->width();
    // The stored size, applied at start-up, is followed as soon as the window shows.
    EXPECT_EQ(window->size(), QSize(twips::toPixelsX(12000), twips::toPixelsY(8000)));
    EXPECT_EQ(notes.size(), window->centralWidget()->size());

    for (const QSize size : {QSize(700, 500), QSize(1000, 700), QSize(300, 60)}) {
        window->resize(size);
        QCoreApplication::processEvents();
        const QSize client = window->centralWidget()->size();
        EXPECT_EQ(notes.size(), client);
        EXPECT_EQ(notes.parentWidget()->pos(), QPoint(0, 0));
        const int panelTop = client.height() - twips::toPixelsY(960);
        EXPECT_EQ(ui.Frame1->y(), panelTop);
        if (panelTop - twips::toPixelsY(360) >= 0) {
            EXPECT_EQ(ui.Text1->y() + ui.Text1->height(), panelTop) << size.height();
            EXPECT_EQ(ui.TreeView1->height(), panelTop);
        }
        if (client.width() > twips::toPixelsX(3885)) {
            EXPECT_EQ(ui.Text1->width(), client.width() - twips::toPixelsX(3885));
        }
        EXPECT_EQ(ui.TreeView1->width(), outlineWidth);
    }

    // Maximising and restoring give the layout of each size.
    window->showMaximized();
    QCoreApplication::processEvents();
    EXPECT_EQ(notes.size(), window->centralWidget()->size());
    window->showNormal();
    window->resize(800, 600);
    QCoreApplication::processEvents();
    EXPECT_EQ(notes.size(), window->centralWidget()->size());
    EXPECT_EQ(ui.Frame1->y(), window->centralWidget()->height() - twips::toPixelsY(960));
}

} // namespace
} // namespace quillet::test
