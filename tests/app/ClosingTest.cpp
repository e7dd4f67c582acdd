#include "app/MDIForm1.h"
#include "app/Startup.h"
#include "notes/Form3.h"
#include "platform/SingleInstance.h"
#include "platform/TerminationSignals.h"
#include "platform/Twips.h"
#include "session/NotesSession.h"
#include "support/FakeMessageBoxes.h"
#include "support/NotesControls.h"
#include "support/TestDatabase.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <csignal>

namespace quillet::test {
namespace {

class ClosingTest : public testing::Test
{
protected:
    std::unique_ptr<MDIForm1> start()
    {
        std::unique_ptr<MDIForm1> window = openMainWindow(
            platform, session, QString::fromStdString(path), QStringLiteral("quillet-db"));
        if (window) {
            window->show();
            window->activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        }
        return window;
    }

    TempFolder folder;
    std::string path = folder.path("mydata.mdb");
    FakeMessageBoxes boxes;
    Platform platform{boxes};
    NotesSession session;
};

// Close, then start again through the real start-up: the outline's shape, the window and the
// selection come back, with the text that was being typed.
TEST_F(ClosingTest, ARestartShowsWhatWasThereAtClosing)
{
    createDatabase(
        path, {{"A", "Alpha", true}, {"A1", "One"}, {"B", "Beta"}, {"B1", "b1"}, {"C", "Gamma"}});
    execSql(path, "UPDATE parame SET timilo=77 WHERE ID=12");
    {
        std::unique_ptr<MDIForm1> window = start();
        ASSERT_TRUE(window);
        Form3 &notes = *window->form3();
        const NotesControls ui(notes);
        ui.TreeView1->setExpanded(1, false);
        ui.TreeView1->setExpanded(3, true);
        ui.TreeView1->select(4);
        ui.TreeView1->nodeClicked(4);
        ASSERT_EQ(selectionOf(notes).Key, "B1");
        ui.Text1->setFocus();
        QTest::keyClicks(ui.Text1, "typed before closing");
        window->applyGeometry(1500, 750, 10500, 7500);
        window->close();
    }
    EXPECT_EQ(querySql(path, "SELECT Keimeno FROM mynodes WHERE Kleidi='B1'"),
              "typed before closing");
    EXPECT_EQ(querySql(path, "SELECT group_concat(anoixto, '') FROM mynodes"), "00100");
    EXPECT_EQ(querySql(path, "SELECT group_concat(timilo, ' ') FROM (SELECT timilo FROM parame "
                             "ORDER BY ID LIMIT 5)"),
              "1500 750 10500 7500 4");

    std::unique_ptr<MDIForm1> window = start();
    ASSERT_TRUE(window);
    Form3 &notes = *window->form3();
    const NotesControls ui(notes);
    EXPECT_EQ(window->pos(), QPoint(twips::toPixelsX(1500), twips::toPixelsY(750)));
    EXPECT_EQ(window->size(), QSize(twips::toPixelsX(10500), twips::toPixelsY(7500)));
    EXPECT_FALSE(ui.TreeView1->isExpanded(1));
    EXPECT_TRUE(ui.TreeView1->isExpanded(3));
    EXPECT_EQ(selectionOf(notes).Key, "B1");
    EXPECT_EQ(ui.Label3->text(), "Beta > b1");
    EXPECT_EQ(ui.Text1->toPlainText(), "typed before closing");
    EXPECT_EQ(session.settings().at(12), 77);
    EXPECT_TRUE(boxes.asked.empty());
}

TEST_F(ClosingTest, ClosingWithoutASelectionStoresNothing)
{
    createDatabase(path, {{"A", "Alpha", true}, {"A1", "One"}});
    execSql(path, "UPDATE parame SET timilo=9 WHERE ID=5");
    const std::string before = fileBytes(path);
    {
        std::unique_ptr<MDIForm1> window = start();
        ASSERT_TRUE(window);
        ASSERT_EQ(selectionOf(*window->form3()).Key, "");
        NotesControls(*window->form3()).TreeView1->setExpanded(1, false);
        NotesControls(*window->form3()).Text1->setPlainText("nowhere");
        window->move(10, 10);
        window->close();
    }
    EXPECT_EQ(fileBytes(path), before);
    EXPECT_TRUE(boxes.asked.empty());
}

// Everything that fails while closing is said once, in one message that names the recovery
// file: here the note's row and the last outline row have gone behind the window's back.
TEST_F(ClosingTest, FailuresWhileClosingAreSaidInOneMessage)
{
    createDatabase(path, {{"A", "Alpha"}, {"B", "Beta"}});
    execSql(path, "UPDATE parame SET timilo=2 WHERE ID=5");
    std::unique_ptr<MDIForm1> window = start();
    ASSERT_TRUE(window);
    const NotesControls ui(*window->form3());
    ui.Text1->setFocus();
    QTest::keyClicks(ui.Text1, "last words");
    execSql(path, "DELETE FROM mynodes WHERE Kleidi='B'");

    window->close();
    QCoreApplication::processEvents();
    ASSERT_EQ(boxes.asked.size(), 1u);
    const QString text = boxes.asked[0].text;
    const QStringList files = QDir(folder.folder()).entryList({"mydata.mdb.recovered-B-*.txt"});
    ASSERT_EQ(files.size(), 1);
    EXPECT_TRUE(text.contains(files[0])) << text.toStdString();
    EXPECT_TRUE(text.contains("expanded state")) << text.toStdString();
    EXPECT_FALSE(text.contains("when you leave the editor")) << text.toStdString();
}

// The door stores the workspace and ends the program, without the closing steps.
TEST_F(ClosingTest, TheDoorStoresTheWorkspaceAndEnds)
{
    createDatabase(path, {{"A", "Alpha", true}, {"A1", "One"}, {"B", "Beta"}});
    bool ended = false;
    platform.endProgram = [&] {
        ended = true;
    };
    std::unique_ptr<MDIForm1> window = start();
    ASSERT_TRUE(window);
    const NotesControls ui(*window->form3());
    ui.TreeView1->setExpanded(1, false);
    ui.TreeView1->select(3);
    ui.TreeView1->nodeClicked(3);
    ui.Text1->setFocus();
    QTest::keyClicks(ui.Text1, "by the door");
    QTest::mouseClick(control<QToolButton>(*window->form3(), "Command8"), Qt::LeftButton);
    EXPECT_TRUE(ended);
    EXPECT_TRUE(boxes.asked.empty());
    EXPECT_EQ(querySql(path, "SELECT group_concat(anoixto, '') FROM mynodes"), "000");
    EXPECT_EQ(querySql(path, "SELECT timilo FROM parame WHERE ID=5"), "3");
    EXPECT_EQ(querySql(path, "SELECT Keimeno FROM mynodes WHERE Kleidi='B'"), "by the door");
}

// Text that cannot be stored goes to a recovery file before the door ends the program; when
// the workspace cannot be stored, the user decides whether the program ends.
TEST_F(ClosingTest, TheDoorNeverLosesTextAndStaysWhenTheWorkspaceFails)
{
    createDatabase(path, {{"A", "Alpha"}, {"B", "Beta"}});
    execSql(path, "UPDATE parame SET timilo=2 WHERE ID=5");
    int ends = 0;
    platform.endProgram = [&] {
        ++ends;
    };
    std::unique_ptr<MDIForm1> window = start();
    ASSERT_TRUE(window);
    const NotesControls ui(*window->form3());
    auto *door = control<QToolButton>(*window->form3(), "Command8");
    ui.Text1->setFocus();
    QTest::keyClicks(ui.Text1, "no row for me");
    // B's row goes, another takes its place: the note cannot be stored, the flags still can.
    execSql(path, "DELETE FROM mynodes WHERE Kleidi='B'; INSERT INTO mynodes (Kleidi, MyText) "
                  "VALUES ('Z', 'z')");
    QTest::mouseClick(door, Qt::LeftButton);
    EXPECT_EQ(ends, 1);
    const QStringList files = QDir(folder.folder()).entryList({"mydata.mdb.recovered-B-*.txt"});
    ASSERT_EQ(files.size(), 1);
    ASSERT_FALSE(boxes.asked.empty());
    EXPECT_TRUE(boxes.asked[0].text.contains(files[0])) << boxes.asked[0].text.toStdString();

    execSql(path, "DELETE FROM mynodes WHERE Kleidi='Z'");
    for (const MessageBoxes::Answer answer :
         {MessageBoxes::Answer::No, MessageBoxes::Answer::Yes}) {
        boxes.asked.clear();
        boxes.answers = {answer};
        QTest::mouseClick(door, Qt::LeftButton);
        QCoreApplication::processEvents();
        EXPECT_EQ(ends, answer == MessageBoxes::Answer::Yes ? 2 : 1);
        ASSERT_EQ(boxes.asked.size(), 1u);
        EXPECT_EQ(boxes.asked[0].buttons, MessageBoxes::Buttons::YesNo);
        EXPECT_TRUE(boxes.asked[0].text.contains("recovered-B-"));
        EXPECT_TRUE(boxes.asked[0].text.contains("\n\nThe workspace could not be stored: "));
        EXPECT_TRUE(boxes.asked[0].text.endsWith(". End Quillet anyway?"))
            << boxes.asked[0].text.toStdString();
    }
}

// The door ends a real process at once and cleanly: status 0, the workspace stored, the file
// sound, and the next start not held up by the lock the process had.
TEST_F(ClosingTest, TheDoorEndsTheProcessCleanly)
{
    createDatabase(path, {{"A", "Alpha", true}, {"A1", "One"}, {"B", "Beta"}});
    execSql(path, "UPDATE parame SET timilo=3 WHERE ID=5");
    QProcess driver;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    driver.setProcessEnvironment(environment);
    driver.start(QStringLiteral(QUILLET_DOOR_DRIVER), {QString::fromStdString(path)});
    ASSERT_TRUE(driver.waitForFinished(60000));
    EXPECT_EQ(driver.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(driver.exitCode(), 0) << driver.readAllStandardError().toStdString();
    EXPECT_EQ(querySql(path, "PRAGMA integrity_check"), "ok");
    EXPECT_EQ(querySql(path, "SELECT count(*) FROM parame WHERE ID=3 AND timilo > 0"), "1");
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(path) + "-journal"));
    SingleInstance next(QString::fromStdString(path));
    EXPECT_TRUE(next.acquire());
}

// A service manager stopping the program sends SIGTERM: the closing path runs as if the user
// had closed the window, and the text being typed is stored.
TEST_F(ClosingTest, TerminationSignalStoresTheTextBeingTyped)
{
    createDatabase(path, {{"A", "Alpha"}, {"B", "Beta"}});
    std::unique_ptr<MDIForm1> window = start();
    ASSERT_TRUE(window);
    TerminationSignals terminations;
    closeOnSessionEndOrSignal(*window, terminations);
    Form3 &notes = *window->form3();
    const NotesControls ui(notes);
    ui.Text1->setFocus();
    QTest::keyClicks(ui.Text1, "half a thought");
    for (int number : {SIGTERM, SIGHUP}) {
        ::raise(number);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !window->isVisible(); }, 10000));
        EXPECT_EQ(querySql(path, "SELECT Keimeno FROM mynodes WHERE Kleidi='A'"), "half a thought");
        // Open it again for the next signal.
        window->show();
        ui.Text1->setPlainText("half a thought");
    }
}

} // namespace
} // namespace quillet::test
