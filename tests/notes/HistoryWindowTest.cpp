#include "notes/windows/HistoryWindow.h"

#include "NotesFixture.h"
#include "keeping/Places.h"
#include "notes/windows/LineDiff.h"
#include "support/FileHistory.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <filesystem>
#include <fstream>

namespace quillet::test {
namespace {

// A note's earlier versions, kept as the user works and put back from the history window.
class HistoryWindowTest : public NotesFixture
{
protected:
    void open(const std::vector<Row> &rows, const std::string &note = "original")
    {
        load(rows);
        execSql(path, "UPDATE mynodes SET Keimeno='" + note + "' WHERE Kleidi='A'");
        session.setClock([this] { return now; });
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        ui().Text2->setText("1");
    }

    // Replaces the note's text as a user does, and leaves the editor, which stores it.
    void typeAndLeave(const QString &text)
    {
        ui().Text1->setFocus();
        QTest::keyClick(ui().Text1, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(ui().Text1, text);
        ui().TreeView1->setFocus();
    }

    std::vector<std::string> versionsOfA()
    {
        std::vector<std::string> texts;
        for (const NoteVersion &version : FileHistory(path).versionsOf(1))
            if (!version.titleOnly)
                texts.push_back(version.row[3].toText().value_or("NULL"));
        return texts;
    }

    std::string note() { return querySql(path, "SELECT Keimeno FROM mynodes WHERE Kleidi='A'"); }

    std::int64_t now = 1'000'000;
};

// The first save of a visit keeps the note it replaces; later saves of the visit keep nothing
// until ten minutes have passed since the newest version; a new visit keeps again.
TEST_F(HistoryWindowTest, VersionsAreKeptOncePerVisitAndEveryTenMinutes)
{
    open({{"A", "Alpha"}, {"B", "Beta"}});
    typeAndLeave("first text");
    EXPECT_EQ(versionsOfA(), std::vector<std::string>{"original"});
    for (int i = 0; i < 10; ++i) {
        now += 30;
        typeAndLeave(QStringLiteral("save %1").arg(i));
    }
    EXPECT_EQ(versionsOfA(), std::vector<std::string>{"original"});

    // Ten minutes on, a select-all and a stray key: what it replaces comes back.
    now += 10 * 60;
    typeAndLeave("x");
    EXPECT_EQ(versionsOfA(), (std::vector<std::string>{"save 9", "original"}));

    // Another visit to the item keeps again at its first save.
    ui().TreeView1->nodeClicked(2);
    ui().TreeView1->nodeClicked(1);
    now += 1;
    typeAndLeave("second visit");
    EXPECT_EQ(versionsOfA(), (std::vector<std::string>{"x", "save 9", "original"}));
    EXPECT_TRUE(boxes.asked.empty());
}

// The ten minutes between versions are counted apart for a note's text and its title: a
// rename does not hold back the text's next version, nor a save the title's.
TEST_F(HistoryWindowTest, TextsAndTitlesAreKeptEveryTenMinutesEachOnTheirOwn)
{
    open({{"A", "Alpha"}});
    struct Step
    {
        int minute;
        bool firstOfVisit;
        bool titleOnly;
        bool kept;
    };
    const Step steps[] = {
        {0, true, false, true},   // the text before the visit's first save
        {9, true, true, true},    // the title before the visit's first rename
        {12, false, false, true}, // the text's newest version is 12 minutes old
        {15, false, true, false}, // the title's is 6
        {19, false, true, true},  // the title's is 10, though the text's is 7
        {21, false, false, false},
    };
    const std::int64_t start = now;
    std::size_t versions = 0;
    for (const Step &step : steps) {
        SCOPED_TRACE(step.minute);
        now = start + step.minute * 60;
        session.keepVersion("A", step.firstOfVisit, step.titleOnly);
        const std::vector<NoteVersion> all = FileHistory(path).versionsOf(1);
        EXPECT_EQ(all.size(), versions + (step.kept ? 1 : 0));
        versions = all.size();
        if (step.kept) {
            EXPECT_EQ(all.front().titleOnly, step.titleOnly);
        }
    }
}

// The difference runs from the version to the note now: lines only in the version are marked
// "-", lines only in the note now "+". A line break that ends a note starts no line of its own;
// a last line break only one of the two has is said.
TEST_F(HistoryWindowTest, TheDifferenceMarksWhatTheVersionAloneHoldsWithAMinus)
{
    open({{"A", "Alpha"}});
    struct Case
    {
        const char *name;
        std::string version; // as an SQL expression
        QString now;
        QString shown;
    };
    const QString noBreak = "\\ (no line break at the end)\n";
    const Case cases[] = {
        {"lines of each", "'kept' || char(10) || 'same' || char(10) || 'old'", "same\nnew\nadded",
         "- kept\n  same\n- old\n+ new\n+ added\n"},
        {"both end in a break", "'a' || char(10) || 'b' || char(10)", "a\nb\n", "  a\n  b\n"},
        {"a changed line before the break", "'a' || char(10) || 'b' || char(10)", "a\nc\n",
         "  a\n- b\n+ c\n"},
        {"an empty line that is there", "'a' || char(10, 10)", "a\n\n", "  a\n  \n"},
        {"CR LF", "'a' || char(13, 10) || 'b' || char(13, 10)", "a\r\nc\r\n", "  a\n- b\n+ c\n"},
        {"only the version ends in a break", "'a' || char(10)", "a", "- a\n+ a\n" + noBreak},
        {"only the note now ends in a break", "'a'", "a\n", "- a\n" + noBreak + "+ a\n"},
        {"an empty version", "''", "new", "+ new\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        execSql(path, "UPDATE mynodes SET Keimeno=" + c.version + " WHERE Kleidi='A'");
        ++now;
        session.keepVersion("A", true, false);
        HistoryWindow window(session, *session.versionsOf("A"), "Alpha", c.now);
        EXPECT_EQ(window.findChild<QPlainTextEdit *>("difference")->toPlainText().toStdString(),
                  c.shown.toStdString());
    }
}

// A note without earlier versions: the window says so and offers nothing to restore or copy.
TEST_F(HistoryWindowTest, ANoteWithoutVersionsSaysNoneAreKeptYet)
{
    open({{"A", "Alpha"}});
    for (const bool kept : {false, true}) {
        SCOPED_TRACE(kept);
        if (kept)
            session.keepVersion("A", true, false);
        HistoryWindow window(session, *session.versionsOf("A"), "Alpha", "original");
        const QString said = window.findChild<QLabel *>("versionsLabel")->text();
        EXPECT_EQ(said == "No earlier versions of this note are kept yet.", !kept)
            << said.toStdString();
        EXPECT_EQ(window.findChild<QPushButton *>("restore")->isEnabled(), kept);
        EXPECT_EQ(window.findChild<QPushButton *>("copy")->isEnabled(), kept);
    }
}

TEST(LineDiffTest, LinesOnlyBeforeAreRemovedAndOnlyAfterAdded)
{
    struct Case
    {
        QString before, after;
        QString marks; // a line each: " " same, "-" removed, "+" added, then its text
    };
    const Case cases[] = {
        {"a\nb\nc", "a\nc", " a -b  c"}, {"a\nc", "a\nb\nc", " a +b  c"},
        {"x\ny", "x\nz", " x -y +z"},    {"one\ntwo", "two\nthree", "-one  two +three"},
        {"same", "same", " same"},       {"", "new", "- +new"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.before.toStdString() + " / " + c.after.toStdString());
        QStringList marks;
        for (const DiffLine &line : lineDiff(c.before.split('\n'), c.after.split('\n')))
            marks << (line.kind == DiffLine::Kind::Removed ? "-"
                      : line.kind == DiffLine::Kind::Added ? "+"
                                                           : " ") +
                         line.text;
        EXPECT_EQ(marks.join(' '), c.marks);
    }
}

// Restore puts a version back (keeping the note it replaces), and that one can be put back in
// turn; the window is driven as a user does.
TEST_F(HistoryWindowTest, ARestoreCanBeUndoneByRestoringBack)
{
    open({{"A", "Alpha"}});
    typeAndLeave("changed");
    const auto restoreNewest = [&] {
        // The desktop gives the notes window back its activation after a dialog.
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        QTimer::singleShot(0, [] {
            auto *window = qobject_cast<HistoryWindow *>(QApplication::activeModalWidget());
            ASSERT_TRUE(window);
            auto *list = window->findChild<QListWidget *>("versions");
            ASSERT_GT(list->count(), 0);
            list->setCurrentRow(0);
            window->findChild<QPushButton *>("restore")->click();
        });
        QTest::keyClick(ui().Text1, Qt::Key_H, Qt::ControlModifier);
    };
    restoreNewest();
    EXPECT_EQ(note(), "original");
    EXPECT_EQ(ui().Text1->toPlainText(), "original");
    restoreNewest();
    EXPECT_EQ(note(), "changed");
}

// A note whose bytes are not UTF-8 is kept as those bytes, and restored as them.
TEST_F(HistoryWindowTest, ANoteThatIsNotUtf8IsKeptAsItsBytes)
{
    load({{"A", "Alpha"}});
    execSql(path, "UPDATE mynodes SET Keimeno=CAST(X'CAE1EBE7' AS TEXT) WHERE Kleidi='A'");
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    ui().Text2->setText("1");
    boxes.answers = {MessageBoxes::Answer::Yes};
    ui().Text1->setFocus();
    QTest::keyClicks(ui().Text1, "x");
    QCoreApplication::processEvents();
    ui().TreeView1->setFocus();
    EXPECT_NE(querySql(path, "SELECT hex(Keimeno) FROM mynodes"), "CAE1EBE7");
    const std::vector<NoteVersion> versions = FileHistory(path).versionsOf(1);
    ASSERT_EQ(versions.size(), 1u);
    EXPECT_EQ(*versions[0].row[3].textView(), "\xCA\xE1\xEB\xE7");
}

// A history that cannot be written never stops a save, and is said once.
TEST_F(HistoryWindowTest, AHistoryThatCannotBeWrittenIsSaidOnceAndNotesAreStored)
{
    open({{"A", "Alpha"}, {"B", "Beta"}});
    std::ofstream(places::historyFolder(path)) << "a file where the folder goes";
    typeAndLeave("one");
    QCoreApplication::processEvents();
    ui().TreeView1->nodeClicked(2);
    ui().TreeView1->nodeClicked(1);
    typeAndLeave("two");
    QCoreApplication::processEvents();
    EXPECT_EQ(note(), "two");
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_TRUE(boxes.asked[0].text.contains("not keeping earlier versions"));
}

// A database made before databases had numbers keeps the history made beside it, which takes
// its number with the first version kept; another database's history shows nothing here, and
// the first version kept sets it aside, whole, and says so once.
TEST_F(HistoryWindowTest, AHistoryServesOnlyItsOwnDatabase)
{
    createDatabase(path, {{"A", "Alpha"}, {"B", "Beta"}});
    execSql(path, "UPDATE mynodes SET Keimeno='first' WHERE Kleidi='A'");
    {
        NoteStore store(path);
        ASSERT_TRUE(NoteHistory(store).keep(*store.readRow("A"), false, 10));
    }
    execSql(path, "UPDATE mynodes SET Keimeno='second' WHERE Kleidi='A'");
    const std::string history = places::historyFile(path);
    const auto reopen = [&] {
        form.reset();
        loadExisting();
        session.setClock([this] { return now; });
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        ui().Text2->setText("1");
    };
    reopen();
    EXPECT_EQ(versionsOfA(), std::vector<std::string>{"first"});
    typeAndLeave("third");
    QCoreApplication::processEvents();
    EXPECT_EQ(versionsOfA(), (std::vector<std::string>{"second", "first"}));
    const std::string id = querySql(path, "PRAGMA user_version");
    EXPECT_NE(id, "0");
    EXPECT_EQ(querySql(history, "PRAGMA user_version"), id);
    EXPECT_TRUE(boxes.asked.empty());

    // Another database in its place.
    execSql(path, "PRAGMA user_version = 7");
    reopen();
    EXPECT_TRUE(versionsOfA().empty());
    typeAndLeave("fourth");
    QCoreApplication::processEvents();
    EXPECT_EQ(versionsOfA(), std::vector<std::string>{"third"});
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_TRUE(boxes.asked[0].text.contains("set aside")) << boxes.asked[0].text.toStdString();
    typeAndLeave("fifth");
    QCoreApplication::processEvents();
    EXPECT_EQ(boxes.asked.size(), 1u);
    std::size_t aside = 0;
    for (const auto &entry : std::filesystem::directory_iterator(places::historyFolder(path)))
        if (entry.path().filename().string().starts_with("mydata-history-of-another-database-"))
            aside += std::stoul(querySql(entry.path().string(), "SELECT count(*) FROM versions"));
    EXPECT_EQ(aside, 2u);
}

// Saves while the user types meet a history that cannot be written: no box opens under the
// fingers, every word is stored, and the notice comes once, when the editor is left.
TEST_F(HistoryWindowTest, TypingOnWithoutAHistoryStoresEveryWordAndSaysItOnceOnLeaving)
{
    open({{"A", "Alpha"}, {"B", "Beta"}});
    std::ofstream(places::historyFolder(path)) << "a file where the folder goes";
    ui().Text1->setFocus();
    QTest::keyClick(ui().Text1, Qt::Key_A, Qt::ControlModifier);
    for (const QString words : {"abc", " def"}) {
        QTest::keyClicks(ui().Text1, words);
        waitForTypingPause();
        EXPECT_TRUE(boxes.asked.empty()) << boxes.asked.front().text.toStdString();
        EXPECT_TRUE(ui().Text1->hasFocus());
    }
    EXPECT_EQ(note(), "abc def");

    const auto leaveFor = [&](int index) {
        OutlineView &tree = *ui().TreeView1;
        QTest::mouseClick(tree.viewport(), Qt::LeftButton, {},
                          tree.visualRect(tree.modelIndexOf(index)).center());
        QCoreApplication::processEvents();
    };
    leaveFor(2);
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_TRUE(boxes.asked[0].text.contains("not keeping earlier versions"));
    EXPECT_EQ(selectionOf(*form).Key, "B");

    leaveFor(1);
    ui().Text1->setFocus();
    ui().Text1->moveCursor(QTextCursor::End);
    QTest::keyClicks(ui().Text1, " ghi");
    leaveFor(2);
    EXPECT_EQ(note(), "abc def ghi");
    EXPECT_EQ(boxes.asked.size(), 1u);
}

// A rename keeps the title it replaces only when the title changes: a title edited in place and
// left as it was stores nothing, keeps nothing and, without a history, says nothing.
TEST_F(HistoryWindowTest, ARenameKeepsAVersionOnlyWhenTheTitleChanges)
{
    struct Case
    {
        const char *name;
        QString typed; // what the in-place editor holds when it closes; empty: left as shown
        bool withoutHistory;
        std::size_t titleVersions;
        std::string title; // stored afterwards
    };
    const Case cases[] = {
        {"unchanged", {}, false, 0, " Alpha "},
        {"typed back as it was", "Alpha", false, 0, " Alpha "},
        {"unchanged without a history", {}, true, 0, " Alpha "},
        {"changed", "Omega", false, 1, "Omega"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        form.reset();
        session.close();
        std::filesystem::remove_all(places::historyFolder(path));
        std::filesystem::remove(path);
        open({{"A", " Alpha "}, {"B", "Beta"}});
        if (c.withoutHistory)
            std::ofstream(places::historyFolder(path)) << "a file where the folder goes";
        boxes.asked.clear();
        OutlineView &tree = *ui().TreeView1;
        tree.setFocus();
        QTest::keyClick(&tree, Qt::Key_F2);
        auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
        ASSERT_TRUE(editor);
        if (!c.typed.isEmpty()) {
            editor->selectAll();
            QTest::keyClicks(editor, c.typed);
        }
        // Leaving the title for the other item closes the editor.
        QTest::mouseClick(tree.viewport(), Qt::LeftButton, {},
                          tree.visualRect(tree.modelIndexOf(2)).center());
        QCoreApplication::processEvents();
        EXPECT_EQ(querySql(path, "SELECT MyText FROM mynodes WHERE Kleidi='A'"), c.title);
        std::size_t titles = 0;
        if (!c.withoutHistory)
            for (const NoteVersion &version : FileHistory(path).versionsOf(1))
                titles += version.titleOnly ? 1 : 0;
        EXPECT_EQ(titles, c.titleVersions);
        EXPECT_TRUE(boxes.asked.empty()) << boxes.asked.front().text.toStdString();
    }
}

} // namespace
} // namespace quillet::test
