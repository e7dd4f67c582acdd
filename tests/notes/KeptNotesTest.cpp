#include "NotesFixture.h"
#include "keeping/Backups.h"

#include <QScreen>
#include <QTextDocumentFragment>
#include <QToolTip>

namespace quillet::test {
namespace {

enum class Save { LeaveEditor, Closing, Door, TypeAndUndo };

// A note changes only when its user changes it, and then keeps its own conventions.
class KeptNotesTest : public NotesFixture
{
protected:
    // Item B holds the note given as an SQL expression, and is selected and shown.
    void showNote(const std::string &sqlValue, const std::string &title = "Beta")
    {
        fresh({{"A", "Alpha"}, {"B", title}});
        execSql(path, "UPDATE mynodes SET Keimeno=" + sqlValue + " WHERE Kleidi='B'");
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        ui().Text2->setText("2");
    }

    // A new window over a new database: a table's cases each start from nothing.
    void fresh(const std::vector<Row> &rows)
    {
        form.reset();
        std::remove(path.c_str());
        load(rows);
    }

    std::string stored()
    {
        return querySql(
            path, "SELECT typeof(Keimeno) || ':' || hex(Keimeno) FROM mynodes WHERE Kleidi='B'");
    }

    void clickNode(int index)
    {
        OutlineView &tree = *ui().TreeView1;
        QTest::mouseClick(tree.viewport(), Qt::LeftButton, {},
                          tree.visualRect(tree.modelIndexOf(index)).center());
    }

    void run(Save how)
    {
        switch (how) {
        case Save::LeaveEditor:
            clickNode(1);
            break;
        case Save::Closing:
            form->saveBeforeClosing();
            break;
        case Save::Door:
            QTest::mouseClick(control<QToolButton>(*form, "Command8"), Qt::LeftButton);
            break;
        case Save::TypeAndUndo:
            // A note that cannot come back whole asks first: yes, and then nothing is left
            // of the change.
            boxes.answers.push_back(MessageBoxes::Answer::Yes);
            QTest::keyClicks(ui().Text1, "x");
            QTest::keyClick(ui().Text1, Qt::Key_Z, Qt::ControlModifier);
            QCoreApplication::processEvents();
            waitForTypingPause();
            break;
        }
    }
};

struct UntouchedCase
{
    const char *name;
    const char *value; // as SQL
};

// Every way a note is saved stores nothing when the user changed nothing: bytes that are not
// UTF-8 and blobs would come back as replacement characters, a trimmed note without its spaces,
// line breaks and no-break spaces in the editor's own forms.
TEST_F(KeptNotesTest, EverySaveLeavesAnUnchangedNoteAsItsBytesWere)
{
    const UntouchedCase notes[] = {
        {"Greek in a legacy code page", "CAST(X'CAE1EBE7ECDDF1E1' AS TEXT)"},
        {"a blob", "X'00FF10C3'"},
        {"CR LF and a trailing space", "'one' || char(13, 10) || 'two '"},
        {"no-break space and separators",
         "'a' || char(160) || 'b' || char(8232) || 'c' || char(8233) || 'd'"},
    };
    const std::pair<const char *, Save> saves[] = {{"leaving the editor", Save::LeaveEditor},
                                                   {"closing", Save::Closing},
                                                   {"the door", Save::Door},
                                                   {"typing and undoing", Save::TypeAndUndo}};
    for (const UntouchedCase &note : notes) {
        for (const auto &[how, save] : saves) {
            SCOPED_TRACE(std::string(note.name) + ", " + how);
            showNote(note.value);
            const std::string before = stored();
            ui().Text1->setFocus();
            run(save);
            EXPECT_EQ(stored(), before);
            EXPECT_FALSE(form->hasUnsavedText());
            for (const auto &asked : boxes.asked)
                EXPECT_FALSE(asked.text.contains("NOT stored")) << asked.text.toStdString();
            boxes.asked.clear();
            boxes.answers.clear();
        }
    }
}

// A changed note is stored as the user sees it, with the note's own line breaks, no-break
// spaces and line separators.
TEST_F(KeptNotesTest, AChangedNoteKeepsItsLineBreaksAndSpaces)
{
    showNote("'one' || char(13, 10) || 'two' || char(160) || 'x' || char(8232) || 'y '");
    ui().Text1->setFocus();
    ui().Text1->moveCursor(QTextCursor::End);
    QTest::keyClicks(ui().Text1, "z");
    QTest::keyClick(ui().Text1, Qt::Key_Return);
    QTest::keyClicks(ui().Text1, "end");
    clickNode(1);
    EXPECT_EQ(querySql(path, "SELECT Keimeno = 'one' || char(13, 10) || 'two' || char(160) || "
                             "'x' || char(8232) || 'yz' || char(13, 10) || 'end' FROM mynodes "
                             "WHERE Kleidi='B'"),
              "1");
}

// The first change of a note whose bytes cannot come back is asked about before anything is
// stored: No undoes it and keeps the note from typing until an item is chosen again; Yes
// stores the note as UTF-8 text.
TEST_F(KeptNotesTest, ChangingANoteThatIsNotUtf8AsksFirst)
{
    showNote("CAST(X'CAE1EBE7ECDDF1E1' AS TEXT)", "Legacy");
    const std::string backup = backups::make(path).file;
    const std::string before = stored();
    const QString shown = ui().Text1->toPlainText();
    ui().Text1->setFocus();

    boxes.answers.push_back(MessageBoxes::Answer::No);
    QTest::keyClicks(ui().Text1, "a");
    QCoreApplication::processEvents();
    ASSERT_EQ(boxes.asked.size(), 1u);
    const QString question = boxes.asked[0].text;
    EXPECT_TRUE(question.contains("not UTF-8")) << question.toStdString();
    EXPECT_TRUE(question.contains("Legacy"));
    EXPECT_TRUE(question.contains(QString::fromStdString(backup))) << question.toStdString();
    EXPECT_EQ(boxes.asked[0].buttons, MessageBoxes::Buttons::YesNo);
    EXPECT_EQ(ui().Text1->toPlainText(), shown);
    EXPECT_TRUE(ui().Text1->isReadOnly());
    QTest::keyClicks(ui().Text1, "b");
    clickNode(1);
    EXPECT_EQ(stored(), before);
    EXPECT_EQ(boxes.asked.size(), 1u);

    clickNode(2);
    EXPECT_FALSE(ui().Text1->isReadOnly());
    ui().Text1->setFocus();
    ui().Text1->moveCursor(QTextCursor::End);
    boxes.answers.push_back(MessageBoxes::Answer::Yes);
    QTest::keyClicks(ui().Text1, "c");
    QCoreApplication::processEvents();
    QTest::keyClicks(ui().Text1, "d");
    clickNode(1);
    EXPECT_EQ(boxes.asked.size(), 2u);
    std::string replaced;
    for (int i = 0; i < 8; ++i)
        replaced += "EFBFBD";
    EXPECT_EQ(stored(), "text:" + replaced + "6364");
}

// A blob whose bytes happen to be UTF-8 is still a blob: a change asks first, and No keeps
// its type and bytes.
TEST_F(KeptNotesTest, ABlobOfUtf8BytesIsAskedAboutAndNoKeepsIt)
{
    showNote("X'616263'");
    ui().Text1->setFocus();
    boxes.answers.push_back(MessageBoxes::Answer::No);
    QTest::keyClicks(ui().Text1, "x");
    QCoreApplication::processEvents();
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_TRUE(boxes.asked[0].text.contains("blob")) << boxes.asked[0].text.toStdString();
    clickNode(1);
    EXPECT_EQ(stored(), "blob:616263");
}

// A NUL does not cut the note shown: it shows as a replacement character, as bytes that are
// not UTF-8 do, and its note is asked about before a change is stored; No keeps its bytes.
TEST_F(KeptNotesTest, ANulDoesNotCutTheNoteShown)
{
    const QString replaced(QChar::ReplacementCharacter);
    const std::pair<const char *, QString> cases[] = {
        {"X'00FF414243'", replaced + replaced + "ABC"},
        {"'AB' || char(0) || 'C'", "AB" + replaced + "C"},
    };
    for (const auto &[value, shown] : cases) {
        SCOPED_TRACE(value);
        showNote(value);
        const std::string before = stored();
        EXPECT_EQ(ui().Text1->toPlainText(), shown);
        ui().Text1->setFocus();
        boxes.asked.clear();
        boxes.answers = {MessageBoxes::Answer::No};
        QTest::keyClicks(ui().Text1, "x");
        QCoreApplication::processEvents();
        ASSERT_EQ(boxes.asked.size(), 1u);
        EXPECT_EQ(boxes.asked[0].buttons, MessageBoxes::Buttons::YesNo);
        clickNode(1);
        EXPECT_EQ(stored(), before);
    }
}

// The delete question says how many items go with the item and how they come back, and names
// the rows it takes that the outline does not show.
TEST_F(KeptNotesTest, TheDeleteQuestionSaysWhatGoesWithTheItem)
{
    const QString one = "\nIt holds 1 item, which goes with it. Ctrl+Z or Deleted items brings it "
                        "back.";
    const std::pair<std::vector<Row>, QString> cases[] = {
        {{{"A", "First"}, {"B", "Second"}, {"B51", "orphan"}},
         "\nIt also deletes 1 row that is not shown in the outline: B51."},
        {{{"A", "First"},
          {"B", "Second"},
          {"B1", "shown"},
          {"B71", "o1"},
          {"B72", "o2"},
          {"B73", "o3"},
          {"B74", "o4"},
          {"B75", "o5"},
          {"B76", "o6"},
          {"B77", "o7"}},
         one + "\nIt also deletes 7 rows that are not shown in the outline: B71, B72, B73, B74, "
               "B75 and 2 more."},
        {{{"A", "First"}, {"B", "Second"}, {"B1", "shown"}}, one},
        {{{"A", "First"}, {"B", "Second"}}, ""},
        {{{"A", "First"}, {"B", "Second"}, {"B1", "1"}, {"B2", "2"}, {"B21", "21"}, {"B3", "3"}},
         "\nIt holds 4 items, which go with it. Ctrl+Z or Deleted items brings them back."},
        // A second row whose key, less its spaces, is one the outline shows: it is left out
        // at loading and goes with the delete, so it is named though its key is shown.
        {{{"A", "First"}, {"B", "Second"}, {"B1", "shown"}, {" B1", "twin"}},
         one + "\nIt also deletes 1 row that is not shown in the outline: B1."},
    };
    for (const auto &[rows, line] : cases) {
        SCOPED_TRACE(rows.size());
        fresh(rows);
        ui().Text2->setText("2");
        boxes.asked.clear();
        boxes.answers = {MessageBoxes::Answer::No};
        ui().Command5->click();
        ASSERT_EQ(boxes.asked.size(), 1u);
        EXPECT_EQ(boxes.asked[0].text.toStdString(),
                  ("Delete item : \nSecond" + line).toStdString());
    }
}

// Titles are shown as the text they are, never read as markup.
TEST_F(KeptNotesTest, ThePathLineShowsTitlesAsPlainText)
{
    // Long enough to be shortened, so that the whole path is the tooltip.
    const QString title = "<b>x</b> <font size=7>" + QString(300, 'w');
    showNote("'note'", title.toStdString());
    const QLabel &line = *ui().Label3;
    EXPECT_EQ(line.textFormat(), Qt::PlainText);
    EXPECT_TRUE(line.text().startsWith("<b>x</b> <font size=7>w")) << line.text().toStdString();
    // The tooltip shows it all, in lines no wider than the screen.
    const QStringList lines =
        QTextDocumentFragment::fromHtml(line.toolTip()).toPlainText().split('\n');
    EXPECT_EQ(lines.join(QString()), title);
    EXPECT_GT(lines.size(), 1);
    for (const QString &part : lines)
        EXPECT_LE(QFontMetrics(QToolTip::font()).horizontalAdvance(part),
                  line.screen()->availableGeometry().width());
}

} // namespace
} // namespace quillet::test
