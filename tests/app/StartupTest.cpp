#include "app/Startup.h"

#include "app/DeferredIconStyle.h"
#include "app/MDIForm1.h"
#include "notes/Form3.h"
#include "platform/Screens.h"
#include "platform/Twips.h"
#include "session/NotesSession.h"
#include "support/FakeMessageBoxes.h"
#include "support/FakeWindowFrames.h"
#include "support/NotesControls.h"
#include "support/TestDatabase.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QStyleFactory>
#include <QTest>
#include <QToolButton>
#include <QWindow>

#include <gtest/gtest.h>

#include <fstream>
#include <unistd.h>

namespace quillet::test {
namespace {

class StartupTest : public testing::Test
{
protected:
    void setSettings(const std::vector<int> &values)
    {
        std::string sql = "DELETE FROM parame;";
        for (int value : values)
            sql += "INSERT INTO parame (timilo) VALUES (" + std::to_string(value) + ");";
        execSql(path, sql);
    }

    std::unique_ptr<MDIForm1> start()
    {
        return openMainWindow(platform, session, QString::fromStdString(path),
                              QStringLiteral("/opt/quillet/quillet-db"));
    }

    TempFolder folder;
    std::string path = folder.path("mydata.mdb");
    FakeMessageBoxes boxes;
    Platform platform{boxes};
    NotesSession session;
};

TEST_F(StartupTest, RestoresGeometrySelectionAndNote)
{
    createDatabase(path, {{"A", "Alpha", true}, {"A1", "One"}, {"B", "Beta"}});
    execSql(path, "UPDATE mynodes SET Keimeno='one note' WHERE Kleidi='A1'");
    std::vector<int> values(30, 0);
    values[0] = 1500;
    values[1] = 900;
    values[2] = 9000;
    values[3] = 6000;
    values[4] = 2;
    values[6] = 42;
    values[29] = -7;
    setSettings(values);

    const std::unique_ptr<MDIForm1> window = start();
    ASSERT_TRUE(window);
    EXPECT_TRUE(boxes.asked.empty());
    EXPECT_EQ(window->windowTitle(), "Quillet - Version 1.07");
    EXPECT_EQ(window->pos(), QPoint(twips::toPixelsX(1500), twips::toPixelsY(900)));
    EXPECT_EQ(window->size(), QSize(twips::toPixelsX(9000), twips::toPixelsY(6000)));

    Form3 &notes = *window->form3();

    const NotesControls ui(notes);
    EXPECT_EQ(selectionOf(notes).Key, "A1");
    EXPECT_EQ(selectionOf(notes).Index, "2");
    EXPECT_EQ(ui.Label3->text(), "Alpha > One");
    EXPECT_EQ(ui.Text2->text(), "2");
    EXPECT_EQ(ui.Text1->toPlainText(), "one note");
    EXPECT_TRUE(ui.TreeView1->isExpanded(1));
    // Positions without a meaning are carried as loaded.
    EXPECT_EQ(session.settings().at(7), 42);
    EXPECT_EQ(session.settings().at(30), -7);
}

TEST_F(StartupTest, FewSettingsRowsLeaveTheRestAtZero)
{
    // Two rows, then three: without both a width and a height the stored size is not applied.
    for (const std::vector<int> &values : {std::vector<int>{300, 450}, {300, 450, 9000}}) {
        SCOPED_TRACE(values.size());
        boxes.asked.clear();
        path = folder.path("rows" + std::to_string(values.size()) + ".mdb");
        createDatabase(path, {{"A", "Alpha"}, {"B", "Beta"}});
        setSettings(values);
        const std::unique_ptr<MDIForm1> window = start();
        ASSERT_TRUE(window);
        EXPECT_TRUE(boxes.asked.empty());
        for (int position = static_cast<int>(values.size()) + 1; position <= 30; ++position)
            EXPECT_EQ(session.settings().at(position), 0) << position;
        EXPECT_EQ(window->pos(), QPoint(twips::toPixelsX(300), twips::toPixelsY(450)));
        // No stored size: the window keeps the size that shows the notes window whole.
        EXPECT_GE(window->width(), twips::toPixelsX(Form3::kDesignWidth));
        EXPECT_GE(window->height(), twips::toPixelsY(Form3::kDesignHeight));
        // Position 5 is 0, written as "0": the first node is selected.
        EXPECT_EQ(NotesControls(*window->form3()).Text2->text(), "0");
        EXPECT_EQ(selectionOf(*window->form3()).Key, "A");
    }
}

// The four window settings are the outer position and size, frame included: a start and a
// close without a change store exactly the values read, whatever frame the desktop draws.
TEST_F(StartupTest, TheStoredGeometryIsTheOuterOneAndComesBackUnchanged)
{
    for (const QMargins frame : {QMargins(), QMargins(4, 23, 4, 4)}) {
        SCOPED_TRACE(frame.top());
        FakeWindowFrames frames(frame);
        Platform framed{boxes, nullptr, &frames};
        path = folder.path("frame" + std::to_string(frame.top()) + ".mdb");
        createDatabase(path, {{"A", "Alpha"}});
        setSettings({1500, 900, 9000, 6000, 1});
        const std::unique_ptr<MDIForm1> window = openMainWindow(
            framed, session, QString::fromStdString(path), QStringLiteral("quillet-db"));
        ASSERT_TRUE(window);
        window->show();
        EXPECT_EQ(window->size().grownBy(frame),
                  QSize(twips::toPixelsX(9000), twips::toPixelsY(6000)));
        window->close();
        EXPECT_EQ(querySql(path, "SELECT group_concat(timilo, ' ') FROM "
                                 "(SELECT timilo FROM parame ORDER BY ID LIMIT 4)"),
                  "1500 900 9000 6000");
        EXPECT_TRUE(boxes.asked.empty());
    }
}

TEST_F(StartupTest, AWindowStoredOffEveryScreenComesBackOntoTheScreen)
{
    createDatabase(path, {{"A", "Alpha"}});
    setSettings({900000, 900000, 9000, 6000, 1});
    const std::unique_ptr<MDIForm1> window = start();
    ASSERT_TRUE(window);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(window->pos(), screen.topLeft());

    // A window partly off the screen, at a negative position, is placed as stored.
    window->applyGeometry(-600, -300, 9000, 6000);
    EXPECT_EQ(window->pos(), QPoint(twips::toPixelsX(-600), twips::toPixelsY(-300)));
}

// A screen whose top 40 pixels and right 100 are the desktop's panels: a window stored off the
// screen, or over the panels, comes back where windows may go, never under a panel.
TEST_F(StartupTest, AWindowNeverOpensUnderTheDesktopsPanels)
{
    struct PanelledScreen : Screens
    {
        QList<ScreenArea> areas() const override
        {
            return {{QRect(0, 0, 1600, 1000), QRect(0, 40, 1500, 960)}};
        }
    } screens;
    platform.screens = &screens;
    createDatabase(path, {{"A", "Alpha"}});
    setSettings({900000, 900000, 9000, 6000, 1});
    const std::unique_ptr<MDIForm1> window = start();
    ASSERT_TRUE(window);
    EXPECT_EQ(window->pos(), QPoint(0, 40));
    // Larger than the usable area: cut to it.
    window->applyGeometry(0, 0, 30000, 20000);
    EXPECT_EQ(QRect(window->pos(), window->size()), QRect(0, 40, 1500, 960));
}

TEST_F(StartupTest, ASettingsTableTooLongIsReportedAndStartUpGoesOn)
{
    createDatabase(path, {{"A", "Alpha"}});
    setSettings(std::vector<int>(31, 1));
    const std::unique_ptr<MDIForm1> window = start();
    ASSERT_TRUE(window);
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_EQ(boxes.asked[0].title, "Quillet");
    EXPECT_TRUE(boxes.asked[0].text.contains("more than 30 rows"));
    EXPECT_TRUE(boxes.asked[0].text.contains(QString::fromStdString(path)));
    // The load stopped before the selection was handed over.
    EXPECT_EQ(NotesControls(*window->form3()).Text2->text(), "0000");
    EXPECT_EQ(selectionOf(*window->form3()).Key, "");
}

// One row that cannot join the outline hides nothing else: the rows after it load, and one
// message names it with the tool that finds every problem.
TEST_F(StartupTest, ARowLeftOutIsSaidOnceAndTheRowsAfterItAreShown)
{
    createDatabase(path, {{"A", "Alpha"}, {"B", "Beta"}});
    execSql(path, "INSERT INTO mynodes (Kleidi, MyText) VALUES ('C5', 'lost'), ('D', 'after'), "
                  "('D1', 'child')");
    const std::unique_ptr<MDIForm1> window = start();
    ASSERT_TRUE(window);
    ASSERT_EQ(boxes.asked.size(), 1u);
    const QString text = boxes.asked[0].text;
    EXPECT_TRUE(text.contains("ID 3, key \"C5\": no row holds its parent key \"C\""))
        << text.toStdString();
    EXPECT_TRUE(text.contains("quillet-db check " + QString::fromStdString(path)));
    EXPECT_EQ(NotesControls(*window->form3()).TreeView1->count(), 4);
    EXPECT_EQ(selectionOf(*window->form3()).Key, "A");
}

// A database that cannot serve ends start-up with one message naming the file, the problem
// and the way to make a new one; the file is left exactly as it was.
TEST_F(StartupTest, UnusableDatabaseEndsStartUpWithAMessageAndLeavesTheFile)
{
    struct Case
    {
        const char *name;
        std::function<void(const std::string &)> make;
        const char *problem;
        const char *advice;
    };
    const std::vector<Case> cases = {
        {"missing", [](const std::string &) {}, "does not exist", "init"},
        {"text", [](const std::string &p) { std::ofstream(p) << "not notes"; }, "not a SQLite",
         "check"},
        {"no column",
         [](const std::string &p) {
             createDatabase(p, {{"A", "a"}});
             execSql(p, "ALTER TABLE mynodes DROP COLUMN MegFonta");
         },
         "no column \"MegFonta\"", "check"},
    };
    for (const Case &c : cases) {
        path = folder.path(std::string(c.name) + ".mdb");
        c.make(path);
        const std::string before = fileBytes(path);
        boxes.asked.clear();
        EXPECT_FALSE(start()) << c.name;
        ASSERT_EQ(boxes.asked.size(), 1u) << c.name;
        const QString text = boxes.asked[0].text;
        EXPECT_EQ(boxes.asked[0].title, "Quillet");
        EXPECT_TRUE(text.contains(QString::fromStdString(path))) << text.toStdString();
        EXPECT_TRUE(text.contains(c.problem)) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("/opt/quillet/quillet-db init ") +
                                  QString::fromStdString(path)))
            << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("quillet-db ") + c.advice));
        EXPECT_EQ(fileBytes(path), before) << c.name;
    }
}

// A link whose file is gone is said as such, naming where it points; making a new database
// there would not put one where the link points, so init is not offered.
TEST_F(StartupTest, ALinkToAMissingFileIsSaidAsSuch)
{
    const std::string target = folder.path("moved-away.mdb");
    ASSERT_EQ(::symlink(target.c_str(), path.c_str()), 0);
    EXPECT_FALSE(start());
    ASSERT_EQ(boxes.asked.size(), 1u);
    const QString text = boxes.asked[0].text;
    EXPECT_TRUE(text.contains(
        QString::fromStdString("This is a link to " + target + ", which does not exist.")))
        << text.toStdString();
    EXPECT_FALSE(text.contains("init")) << text.toStdString();
}

// An outline with no item to show takes no new items: said once, with what to do.
TEST_F(StartupTest, AnOutlineWithNoItemsSaysWhyNothingCanBeAdded)
{
    createForeignDatabase(path);
    execSql(path, "UPDATE mynodes SET MyText=NULL WHERE Kleidi='A'");
    const std::unique_ptr<MDIForm1> window = start();
    ASSERT_TRUE(window);
    const auto said = std::count_if(boxes.asked.begin(), boxes.asked.end(), [](const auto &a) {
        return a.text.contains("none can be added here");
    });
    EXPECT_EQ(said, 1);
}

// The pictures read only when first drawn: the buttons' own and the style's standard ones are
// the same pictures as read at once, and none is empty.
TEST_F(StartupTest, PicturesReadWhenFirstDrawnAreTheSamePictures)
{
    const auto image = [](const QIcon &icon) {
        return icon.pixmap(16, 16).toImage();
    };
    const auto drawsSomething = [](const QImage &picture) {
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                if (qAlpha(picture.pixel(x, y)) != 0)
                    return true;
        return false;
    };
    createDatabase(path, {{"A", "Alpha"}});
    const std::unique_ptr<MDIForm1> window = start();
    ASSERT_TRUE(window);
    const std::pair<const char *, const char *> buttons[] = {
        {"Command4", "add-item"},  {"Command1", "add-subitem"}, {"Command5", "delete-item"},
        {"Command6", "cogwheels"}, {"Command7", "binoculars"},  {"Command8", "door"},
        {"Command9", "brush"},     {"Command10", "font"}};
    for (const auto &[name, picture] : buttons) {
        SCOPED_TRACE(name);
        const auto *button = window->form3()->findChild<QToolButton *>(name);
        ASSERT_NE(button, nullptr);
        const QImage drawn = image(button->icon());
        EXPECT_FALSE(button->icon().isNull());
        EXPECT_TRUE(drawsSomething(drawn));
        EXPECT_EQ(drawn, image(QIcon(QStringLiteral(":/icons/%1.svg").arg(picture))));
    }
    DeferredIconStyle style(QStringLiteral("Fusion"));
    const std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
    for (const auto which : {QStyle::SP_TitleBarMenuButton, QStyle::SP_TitleBarCloseButton,
                             QStyle::SP_TitleBarNormalButton, QStyle::SP_MessageBoxWarning}) {
        SCOPED_TRACE(which);
        const QIcon deferred = style.standardIcon(which);
        EXPECT_FALSE(deferred.isNull());
        EXPECT_TRUE(drawsSomething(image(deferred)));
        EXPECT_EQ(image(deferred), image(fusion->standardIcon(which)));
    }
}

// What start-up leaves until the window is up runs once the window has been drawn, once; and
// also for a window that is never drawn, so that a backup is never left undone.
TEST(StartupWhenShownTest, RunsOnceAfterTheFirstFrameOrWithoutOne)
{
    for (const bool show : {true, false}) {
        SCOPED_TRACE(show ? "shown" : "never shown");
        QWidget window;
        int runs = 0;
        bool exposedFirst = false;
        if (show)
            window.show();
        whenShown(window, [&] {
            ++runs;
            exposedFirst = window.windowHandle() && window.windowHandle()->isExposed();
        });
        EXPECT_EQ(runs, 0);
        EXPECT_TRUE(QTest::qWaitFor([&] { return runs > 0; }, 5000));
        QCoreApplication::processEvents();
        EXPECT_EQ(runs, 1);
        EXPECT_EQ(exposedFirst, show);
    }
}

} // namespace
} // namespace quillet::test
