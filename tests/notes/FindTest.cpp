#include "NotesFixture.h"
#include "notes/editor/NoteEditor.h"
#include "notes/windows/FindWindow.h"

#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QRadioButton>

#include <fstream>

namespace quillet::test {
namespace {

class FindTest : public NotesFixture
{
protected:
    void open(const std::vector<Row> &rows, const char *selected)
    {
        load(rows);
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        ui().Text2->setText(selected);
    }

    // Opens the find window with Ctrl+F, as a user does.
    FindWindow *find()
    {
        QTest::keyClick(ui().Text1, Qt::Key_F, Qt::ControlModifier);
        return form->findChild<FindWindow *>();
    }

    // Types the query and waits for its matches to be listed.
    QListWidget *search(FindWindow *window, const QString &query)
    {
        auto *field = control<QLineEdit>(*window, "findText");
        field->setText(query);
        auto *status = control<QLabel>(*window, "findStatus");
        EXPECT_TRUE(QTest::qWaitFor([&] { return status->text() != "Searching..."; }, 10000));
        return control<QListWidget>(*window, "findResults");
    }

    QStringList listed(QListWidget *results)
    {
        QStringList lines;
        for (int row = 0; row < results->count(); ++row)
            lines << results->item(row)->text();
        return lines;
    }
};

TEST_F(FindTest, MatchesAreListedWithTheirPathsAndLines)
{
    open({{"A", "Garden"}, {"A1", "Beds"}, {"B", "Letters"}}, "1");
    execSql(path, "UPDATE mynodes SET Keimeno='first\nroses in the garden bed\nlast' "
                  "WHERE Kleidi='A1'");
    FindWindow *window = find();
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(listed(search(window, "garden")),
              (QStringList{"Garden", "Garden > Beds: roses in the garden bed"}));
    window->findChildren<QRadioButton *>().front()->setChecked(true); // titles only
    EXPECT_EQ(listed(search(window, "GARDEN")), QStringList{"Garden"});
    EXPECT_TRUE(listed(search(window, "50% _'\\")).isEmpty());
    EXPECT_TRUE(listed(search(window, QString(10000, QLatin1Char('x')))).isEmpty());
    QTest::keyClick(window, Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
}

// Choosing a match is a click on its item: the note being typed is stored first, the item's
// ancestors open, and it is selected with its note shown.
TEST_F(FindTest, ChoosingAMatchGoesToItsItemAsAClickDoes)
{
    open({{"A", "Alpha"}, {"A1", "One"}, {"A11", "Deep"}, {"B", "Beta"}}, "4");
    execSql(path, "UPDATE mynodes SET Keimeno='a needle here' WHERE Kleidi='A11'");
    ui().Text1->setFocus();
    QTest::keyClicks(ui().Text1, "typed in Beta");
    FindWindow *window = find();
    QListWidget *results = search(window, "needle");
    ASSERT_EQ(results->count(), 1);
    QTest::keyClick(control<QLineEdit>(*window, "findText"), Qt::Key_Return);
    EXPECT_EQ(querySql(path, "SELECT Keimeno FROM mynodes WHERE Kleidi='B'"), "typed in Beta");
    EXPECT_EQ(selectionOf(*form).Key, "A11");
    EXPECT_EQ(ui().TreeView1->selectedIndex(), 3);
    EXPECT_TRUE(ui().TreeView1->isExpanded(1));
    EXPECT_TRUE(ui().TreeView1->isExpanded(2));
    EXPECT_EQ(ui().Text1->toPlainText(), "a needle here");
}

// A note chosen shows with the caret at the start of its first match, the match marked and not
// selected, the focus in the editor; F3 goes through every match of the note and on to the next
// note found, Shift+F3 back. A key typed next goes in before the match, which stays.
TEST_F(FindTest, FThreeGoesThroughEveryMatchAndOnToTheNextNote)
{
    open({{"A", "Alpha"}, {"B", "Beta"}, {"C", "Gamma"}}, "1");
    execSql(path, "UPDATE mynodes SET Keimeno='one Needle, two needle' WHERE Kleidi='B';"
                  "UPDATE mynodes SET Keimeno='needle at three' WHERE Kleidi='C'");
    FindWindow *window = find();
    ASSERT_EQ(search(window, "needle")->count(), 2);
    QTest::keyClick(control<QLineEdit>(*window, "findText"), Qt::Key_Return);
    NoteEditor &editor = *ui().Text1;
    // Where the caret is, which item shows, and the match marked.
    const auto at = [&] {
        const std::optional<WordSpan> marked = editor.markedFound();
        return selectionOf(*form).Key.toStdString() + " " +
               std::to_string(editor.textCursor().position()) + " " +
               (marked ? std::to_string(marked->start) + "+" + std::to_string(marked->length)
                       : std::string("none")) +
               (editor.textCursor().hasSelection() ? " selected" : "");
    };
    EXPECT_EQ(at(), "B 4 4+6");
    // The notes window comes in front, the focus in its editor.
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == form.get(); }, 5000));
    EXPECT_TRUE(editor.hasFocus());
    const char *forward[] = {"B 16 16+6", "C 0 0+6", "C 0 0+6"}; // the last stays on the last
    for (const char *expected : forward) {
        QTest::keyClick(&editor, Qt::Key_F3);
        EXPECT_EQ(at(), expected);
    }
    const char *back[] = {"B 16 16+6", "B 4 4+6", "B 4 4+6"};
    for (const char *expected : back) {
        QTest::keyClick(&editor, Qt::Key_F3, Qt::ShiftModifier);
        EXPECT_EQ(at(), expected);
    }
    QTest::keyClicks(&editor, "x");
    EXPECT_EQ(editor.noteText(), "one xNeedle, two needle");
    EXPECT_TRUE(boxes.asked.empty());
}

// The count says every match and where they are.
TEST_F(FindTest, TheCountSaysEveryMatchAndTheNotesAndTitlesTheyAreIn)
{
    open({{"A", "Alpha"}, {"B", "Word"}, {"C", "Gamma"}}, "1");
    std::string many;
    for (int i = 0; i < 4096; ++i)
        many += "word ";
    execSql(path, "UPDATE mynodes SET Keimeno='" + many + "' WHERE Kleidi='C'");
    const QLocale was;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    FindWindow *window = find();
    auto *status = control<QLabel>(*window, "findStatus");
    search(window, "word");
    EXPECT_EQ(status->text(), "4,097 matches in 1 note and 1 title.");
    window->findChildren<QRadioButton *>().front()->setChecked(true); // titles only
    search(window, "word");
    EXPECT_EQ(status->text(), "1 match in 1 title.");
    QLocale::setDefault(was);
}

TEST_F(FindTest, PastFiveHundredMatchesAreCountedNotListed)
{
    std::vector<Row> rows = {{"A", "Alpha"}};
    for (int i = 1; i <= 9; ++i)
        rows.push_back({"A" + std::to_string(i), "item"});
    open(rows, "1");
    std::string more = "BEGIN;";
    for (int i = 0; i < 600; ++i)
        more += "INSERT INTO mynodes (Kleidi, MyText, Keimeno) VALUES ('x" + std::to_string(i) +
                "', 't', 'word');";
    execSql(path, more + "COMMIT;");
    FindWindow *window = find();
    EXPECT_EQ(search(window, "word")->count(), 500);
    EXPECT_EQ(control<QLabel>(*window, "findStatus")->text(),
              "600 matches in 600 notes; the first 500 are listed.");
}

// A damaged page met part-way is said: the matches before it are no complete list.
TEST_F(FindTest, ASearchThatCannotFinishSaysSo)
{
    std::vector<Row> rows{{"A", "Top"}};
    for (char c = 'B'; c <= 'Z'; ++c)
        rows.push_back({std::string(1, c), "item"});
    open(rows, "1");
    // Notes of a third of a page each, "garden" and then text, so that the table's rows spread
    // over a dozen pages; one page in the middle is overwritten, as a failing disk might.
    execSql(path, "UPDATE mynodes SET Keimeno = 'garden ' || hex(randomblob(700))");
    const auto pages = std::stoll(querySql(path, "PRAGMA page_count"));
    ASSERT_GT(pages, 10);
    {
        std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp((pages / 2) * 4096);
        file << std::string(4096, '\xAB');
    }
    FindWindow *window = find();
    ASSERT_TRUE(window);
    const QListWidget *results = search(window, "garden");
    const QString status = control<QLabel>(*window, "findStatus")->text();
    EXPECT_TRUE(status.contains("could not")) << status.toStdString();
    EXPECT_FALSE(status.contains("matches")) << status.toStdString();
    EXPECT_LT(results->count(), static_cast<int>(rows.size()));
}

// Up, Down and the page keys in the search field move the highlight, Enter goes to the
// highlighted match, and the field keeps the focus.
TEST_F(FindTest, TheKeysOfTheSearchFieldMoveThroughTheMatches)
{
    open({{"A", "Top"}, {"B", "plum one"}, {"C", "plum two"}, {"D", "plum three"}}, "1");
    FindWindow *window = find();
    ASSERT_TRUE(window);
    QListWidget *results = search(window, "plum");
    ASSERT_EQ(results->count(), 3);
    EXPECT_EQ(results->currentRow(), 0);
    auto *field = control<QLineEdit>(*window, "findText");
    QTest::keyClick(field, Qt::Key_Down);
    QTest::keyClick(field, Qt::Key_Down);
    QTest::keyClick(field, Qt::Key_Up);
    EXPECT_EQ(results->currentRow(), 1);
    QTest::keyClick(field, Qt::Key_PageDown);
    EXPECT_EQ(results->currentRow(), 2);
    QTest::keyClick(field, Qt::Key_PageUp);
    EXPECT_EQ(results->currentRow(), 0);
    QTest::keyClick(field, Qt::Key_Down);
    EXPECT_EQ(QApplication::focusWidget(), field);
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(selectionOf(*form).Key, "C");
}

// While the window is shown, the list follows the outline: a deleted item's match goes, a new
// item's title is found, and the highlighted match stays where it still is.
TEST_F(FindTest, MatchesFollowTheOutlineAsItChanges)
{
    open({{"A", "Top"}, {"B", "plum one"}, {"C", "plum two"}}, "3");
    FindWindow *window = find();
    ASSERT_TRUE(window);
    QListWidget *results = search(window, "plum");
    ASSERT_EQ(listed(results), (QStringList{"plum one", "plum two"}));
    results->setCurrentRow(1);
    const auto settled = [&](const QStringList &expected) {
        return QTest::qWaitFor([&] { return listed(results) == expected; }, 10000);
    };

    // "plum two" is deleted: its match goes, and "plum one" is highlighted.
    boxes.answers = {MessageBoxes::Answer::Yes};
    ui().Command5->click();
    EXPECT_TRUE(settled({"plum one"}));
    EXPECT_EQ(results->currentRow(), 0);

    // A new item renamed to a plum is found; the highlight stays on "plum one".
    ui().Text2->setText("1");
    ui().Command4->click();
    OutlineModel &nodes = ui().TreeView1->nodes();
    nodes.setData(nodes.indexOf(nodes.find("C")), QStringLiteral("plum three"), Qt::EditRole);
    EXPECT_TRUE(settled({"plum one", "plum three"}));
    EXPECT_EQ(results->currentItem()->text(), "plum one");
}

} // namespace
} // namespace quillet::test
