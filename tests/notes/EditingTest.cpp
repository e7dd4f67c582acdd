#include "NotesFixture.h"

#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace quillet::test {
namespace {

class EditingTest : public NotesFixture
{
protected:
    Form3 &open(const std::vector<Row> &rows, const char *selected = "1")
    {
        load(rows);
        form->show();
        form->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
        ui().Text2->setText(selected);
        return *form;
    }

    void click(int index)
    {
        OutlineView &tree = *ui().TreeView1;
        const QRect rect = tree.visualRect(tree.modelIndexOf(index));
        ASSERT_TRUE(rect.isValid()) << index;
        QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, rect.center());
    }

    std::string note(const char *key)
    {
        return querySql(path,
                        std::string("SELECT Keimeno FROM mynodes WHERE Kleidi='") + key + "'");
    }

    std::string allKeys()
    {
        return querySql(path, "SELECT group_concat(Kleidi, ' ') FROM "
                              "(SELECT Kleidi FROM mynodes ORDER BY ID)");
    }
};

// The design relies on this order: the editor's focus-loss save runs while the selection
// still names the item being edited, before the outline reports the click on another item.
TEST_F(EditingTest, TypedTextIsStoredUnderTheOldKeyBeforeTheNewNoteShows)
{
    Form3 &notes = open({{"A", "Alpha"}, {"B", "Beta"}});
    execSql(path, "UPDATE mynodes SET Keimeno='beta note' WHERE Kleidi='B'");
    ui().Text1->setFocus();
    QTest::keyClicks(ui().Text1, "typed in A");
    click(2);
    EXPECT_EQ(note("A"), "typed in A");
    EXPECT_EQ(note("B"), "beta note");
    EXPECT_EQ(selectionOf(notes).Key, "B");
    EXPECT_EQ(ui().Text1->toPlainText(), "beta note");
    click(1);
    EXPECT_EQ(ui().Text1->toPlainText(), "typed in A");
}

// A line far longer than the window is shown in pieces; what is stored is the line as typed.
TEST_F(EditingTest, ALongLineIsStoredAsTypedNotAsShown)
{
    open({{"A", "Alpha"}, {"B", "Beta"}});
    std::string line;
    for (int i = 0; line.size() < 5000; ++i)
        line += "word" + std::to_string(i) + " \xce\xb1 ";
    line.pop_back(); // a note is shown with spaces at its end trimmed
    execSql(path, "UPDATE mynodes SET Keimeno='" + line + "' WHERE Kleidi='A'");
    click(2);
    click(1);
    ASSERT_GT(ui().Text1->document()->blockCount(), 2);
    // The start of the third piece, two breaks between pieces before it.
    const int shown = ui().Text1->document()->findBlockByNumber(2).position();
    const std::size_t typedAt = QString::fromStdString(line).left(shown - 2).toUtf8().size();
    ui().Text1->setFocus();
    QTextCursor cursor = ui().Text1->textCursor();
    cursor.setPosition(shown);
    ui().Text1->setTextCursor(cursor);
    QTest::keyClicks(ui().Text1, "typed");
    click(2);
    const std::string stored = note("A");
    line.insert(typedAt, "typed");
    // Compared whole, said briefly: the texts are thousands of characters long.
    EXPECT_TRUE(stored == line) << "stored " << stored.size() << " bytes, typed " << line.size()
                                << "; they differ from byte "
                                << std::mismatch(stored.begin(), stored.end(), line.begin()).first -
                                       stored.begin();
}

// A row may store its key with surrounding spaces: the outline shows and numbers it trimmed,
// but its note is read and stored through the key as stored, which is never rewritten.
TEST_F(EditingTest, AKeyStoredWithSpacesFindsItsRow)
{
    createDatabase(path, {{"A", "Alpha"}, {"B", "Beta"}, {" B1", "spaced"}});
    execSql(path, "UPDATE mynodes SET Keimeno='spaced note' WHERE Kleidi=' B1'");
    loadExisting();
    form->show();
    ui().Text2->setText("3");
    EXPECT_EQ(selectionOf(*form).Key, "B1");
    EXPECT_EQ(ui().Text1->toPlainText(), "spaced note");

    ui().Text1->setPlainText("typed in B1");
    form->saveBeforeClosing();
    EXPECT_TRUE(boxes.asked.empty()) << boxes.asked.front().text.toStdString();
    EXPECT_EQ(note(" B1"), "typed in B1");
    EXPECT_TRUE(QDir(folder.folder()).entryList({"*.recovered-*"}).isEmpty());
}

// Typed text reaches the file after a pause in typing, while the editor keeps the focus.
// Typed with the event loop running between keys, as a user types: nothing is written while the
// keys come, and the text is written once typing has paused for two seconds.
TEST_F(EditingTest, TypedTextIsStoredAfterAPauseInTyping)
{
    open({{"A", "Alpha"}, {"B", "Beta"}});
    auto *pause = form->findChild<QTimer *>(QStringLiteral("typingPause"));
    ASSERT_NE(pause, nullptr);
    QSignalSpy paused(pause, &QTimer::timeout);
    ui().Text1->setFocus();
    for (const QChar c : QStringLiteral("written while typing")) {
        QTest::keyClicks(ui().Text1, QString(c));
        QCoreApplication::processEvents();
    }
    QElapsedTimer sinceLastKey;
    sinceLastKey.start();
    EXPECT_EQ(note("A"), "");
    EXPECT_TRUE(paused.isEmpty());
    ASSERT_TRUE(paused.wait(10000));
    EXPECT_GE(sinceLastKey.elapsed(), 1900);
    EXPECT_EQ(note("A"), "written while typing");
    EXPECT_TRUE(ui().Text1->hasFocus());
    EXPECT_TRUE(boxes.asked.empty());
}

TEST_F(EditingTest, AutoSaveBoxSavesOnceAndUnchecksItself)
{
    open({{"A", "Alpha"}});
    ui().Text1->setPlainText("");
    ui().Check1->setCheckState(Qt::Checked);
    EXPECT_EQ(ui().Check1->checkState(), Qt::Unchecked);
    EXPECT_EQ(note("A"), "");

    ui().Text1->setPlainText("by the box");
    ui().Check1->setCheckState(Qt::PartiallyChecked);
    EXPECT_EQ(ui().Check1->checkState(), Qt::PartiallyChecked);
    EXPECT_EQ(note("A"), "");
    ui().Check1->setCheckState(Qt::Checked);
    EXPECT_EQ(note("A"), "by the box");
    EXPECT_EQ(ui().Check1->checkState(), Qt::Unchecked);
    EXPECT_TRUE(boxes.asked.empty());
}

// A save that fails is reported, and the box still returns to unchecked, so that the next
// check (the one at closing) saves again.
TEST_F(EditingTest, AFailedSaveLeavesTheAutoSaveBoxReadyForTheNextOne)
{
    open({{"A", "Alpha"}, {"B", "Beta"}}, "2");
    execSql(path, "DELETE FROM mynodes WHERE Kleidi='B'");
    ui().Text1->setPlainText("nowhere to go");
    ui().Check1->setCheckState(Qt::Checked);
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_EQ(boxes.asked[0].title, "Quillet");
    EXPECT_TRUE(boxes.asked[0].text.contains("no item has the key \"B\""));
    EXPECT_EQ(ui().Check1->checkState(), Qt::Unchecked);
}

TEST_F(EditingTest, WithoutASelectionNothingIsWrittenOrAsked)
{
    Form3 &notes = open({{"A", "Alpha"}, {"A1", "One"}}, "9");
    ASSERT_EQ(selectionOf(notes).Key, "");
    const std::string before = fileBytes(path);
    ui().Text1->setPlainText("typed with nothing selected");
    ui().Check1->setCheckState(Qt::Checked);
    QTest::mouseClick(ui().Command4, Qt::LeftButton);
    QTest::mouseClick(ui().Command1, Qt::LeftButton);
    QTest::mouseClick(ui().Command5, Qt::LeftButton);
    notes.SaveWorkspace(WindowGeometry{});
    EXPECT_TRUE(boxes.asked.empty());
    EXPECT_EQ(ui().TreeView1->count(), 2);
    EXPECT_EQ(fileBytes(path), before);
}

TEST_F(EditingTest, AddingAnItemConfirmsStoresAndSelectsIt)
{
    Form3 &notes = open({{"A", "Alpha"}});
    ui().Text1->setFocus();
    QTest::keyClicks(ui().Text1, "alpha text");
    QTest::mouseClick(ui().Command4, Qt::LeftButton);

    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_EQ(boxes.asked[0].title, "Attention");
    EXPECT_EQ(boxes.asked[0].text, "Add New Item in : \n[basic] >");
    EXPECT_EQ(boxes.asked[0].buttons, MessageBoxes::Buttons::YesNo);
    EXPECT_EQ(boxes.asked[0].icon, MessageBoxes::Icon::Information);
    // The editor lost the focus to the button: its text was stored first.
    EXPECT_EQ(note("A"), "alpha text");
    EXPECT_EQ(allKeys(), "A B");
    EXPECT_EQ(querySql(path, "SELECT MyText FROM mynodes WHERE Kleidi='B'"), "New Item #1");
    EXPECT_EQ(ui().TreeView1->count(), 2);
    EXPECT_EQ(ui().TreeView1->selectedIndex(), 2);
    EXPECT_EQ(selectionOf(notes).Key, "B");
    EXPECT_EQ(selectionOf(notes).Index, "2");
    EXPECT_EQ(selectionOf(notes).FullPath, "New Item #1");
    EXPECT_EQ(ui().Text1->toPlainText(), "");
    EXPECT_EQ(ui().Text1->fontName(), "Courier New");
    EXPECT_TRUE(ui().TreeView1->hasFocus());
}

// Numbers are never renumbered: a new item takes the highest number among its siblings plus
// one, so gaps stay and the highest number, once freed, is used again. The title counts every
// item of the outline.
TEST_F(EditingTest, NewKeysFollowTheHighestSiblingNumber)
{
    Form3 &notes = open({{"A", "Alpha", true}, {"A1", "One"}, {"A3", "Three"}}, "3");
    QTest::mouseClick(ui().Command4, Qt::LeftButton);
    EXPECT_EQ(boxes.asked.back().text, "Add New Item in : \nAlpha >");
    EXPECT_EQ(allKeys(), "A A1 A3 A4");
    EXPECT_EQ(querySql(path, "SELECT MyText FROM mynodes WHERE Kleidi='A4'"), "New Item #3");

    ui().Text2->setText("1");
    QTest::mouseClick(ui().Command1, Qt::LeftButton);
    EXPECT_EQ(boxes.asked.back().text, "Add New Subitem in : \nAlpha >");
    EXPECT_EQ(allKeys(), "A A1 A3 A4 A5");

    // Delete A5, the highest, then add under A again: 5 comes back.
    EXPECT_EQ(selectionOf(notes).Key, "A5");
    QTest::mouseClick(ui().Command5, Qt::LeftButton);
    EXPECT_EQ(boxes.asked.back().text, "Delete item : \nAlpha > New Item #4");
    EXPECT_EQ(allKeys(), "A A1 A3 A4");
    EXPECT_EQ(selectionOf(notes).Key, "A");
    QTest::mouseClick(ui().Command1, Qt::LeftButton);
    EXPECT_EQ(allKeys(), "A A1 A3 A4 A5");

    // The first subitem of an item without children is numbered 1.
    ui().Text2->setText("2");
    click(2);
    ASSERT_EQ(selectionOf(notes).Key, "A1");
    QTest::mouseClick(ui().Command1, Qt::LeftButton);
    EXPECT_EQ(allKeys(), "A A1 A3 A4 A5 A11");
}

TEST_F(EditingTest, AnsweringNoChangesNothing)
{
    Form3 &notes = open({{"A", "Alpha"}, {"B", "Beta"}}, "2");
    ui().Text1->setPlainText("shown");
    const std::string before = fileBytes(path);
    for (QToolButton *button : {ui().Command4, ui().Command1, ui().Command5}) {
        boxes.answers.push_back(MessageBoxes::Answer::No);
        button->click();
    }
    EXPECT_EQ(boxes.asked.size(), 3u);
    EXPECT_EQ(fileBytes(path), before);
    EXPECT_EQ(ui().TreeView1->count(), 2);
    EXPECT_EQ(selectionOf(notes).Key, "B");
    EXPECT_EQ(selectionOf(notes).Index, "2");
    EXPECT_EQ(ui().TreeView1->selectedIndex(), 2);
    EXPECT_EQ(ui().Text1->toPlainText(), "shown");
}

// A parent with all nine children has no room; past code 255 the lowest free top-level
// character is offered instead.
TEST_F(EditingTest, NoRoomForATenthChildButRoomPastCode255)
{
    std::vector<Row> rows = {{"A", "Alpha"}};
    for (char digit = '1'; digit <= '9'; ++digit)
        rows.push_back({std::string("A") + digit, "child"});
    rows.push_back({"\xC3\xBF", "last top-level"}); // code 255
    Form3 &notes = open(rows, "2");
    const std::string before = fileBytes(path);

    ui().Command4->click(); // a sibling of A1
    ui().Text2->setText("1");
    ui().Command1->click(); // a child of A
    ASSERT_EQ(boxes.asked.size(), 2u);
    for (const auto &asked : boxes.asked) {
        EXPECT_EQ(asked.text, "No room for a new item here!");
        EXPECT_EQ(asked.title, "");
        EXPECT_EQ(asked.buttons, MessageBoxes::Buttons::Ok);
        EXPECT_EQ(asked.icon, MessageBoxes::Icon::None);
    }
    EXPECT_EQ(fileBytes(path), before);
    EXPECT_EQ(ui().TreeView1->count(), 11);
    EXPECT_EQ(selectionOf(notes).Key, "A");

    ui().Command4->click(); // a top-level item after code 255
    EXPECT_EQ(boxes.asked.back().title, "Attention");
    EXPECT_EQ(selectionOf(notes).Key, "B");
}

// A row left out of the outline may hold the key a new item would take: the add is refused
// in plain words, and nothing is written.
TEST_F(EditingTest, AKeyTakenByARowLeftOutIsRefused)
{
    createDatabase(path, {{"A", "Alpha"}, {"B", "Beta"}});
    execSql(path, "INSERT INTO mynodes (Kleidi, MyText, anoixto) VALUES ('C', 'hidden', 'maybe')");
    loadExisting();
    ui().Text2->setText("2");
    const std::string before = fileBytes(path);
    ui().Command4->click();
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_TRUE(boxes.asked[0].text.contains("\"C\" is already taken"))
        << boxes.asked[0].text.toStdString();
    EXPECT_EQ(fileBytes(path), before);
    EXPECT_EQ(selectionOf(*form).Key, "B");
}

TEST_F(EditingTest, OnlyTheExactKeyAIsProtectedFromDeletion)
{
    std::vector<Row> rows;
    for (char key = 'A'; key <= 'a'; ++key)
        rows.push_back({std::string(1, key), std::string("item ") + key});
    rows.push_back({"a1", "child of a"});
    Form3 &notes = open(rows);
    ui().Command5->click();
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_EQ(boxes.asked[0].text, "No the first!");
    EXPECT_EQ(boxes.asked[0].title, "");
    EXPECT_EQ(boxes.asked[0].icon, MessageBoxes::Icon::None);
    EXPECT_EQ(ui().TreeView1->count(), 34);

    ui().Text2->setText("33"); // the lower-case a, after Z and six punctuation keys
    ASSERT_EQ(selectionOf(notes).Key, "a");
    ui().Command5->click();
    EXPECT_EQ(boxes.asked.back().title, "Attention");
    EXPECT_EQ(boxes.asked.back().icon, MessageBoxes::Icon::Warning);
    EXPECT_EQ(ui().TreeView1->count(), 32);
    EXPECT_EQ(querySql(path, "SELECT count(*) FROM mynodes WHERE Kleidi='A'"), "1");
    EXPECT_EQ(selectionOf(notes).Key, "A");
    EXPECT_EQ(selectionOf(notes).Index, "1");
}

TEST_F(EditingTest, DeletingAnItemRemovesItsSubtreeAndNothingElse)
{
    Form3 &notes = open({{"A", "Alpha"},
                         {"B", "Beta"},
                         {"A1", "a1"},
                         {"B1", "b1"},
                         {"C", "c"},
                         {"B11", "b11"},
                         {"C1", "c1"},
                         {"B2", "b2"},
                         {"B3", "b3"}},
                        "2");
    execSql(path, "UPDATE mynodes SET Keimeno='alpha note', MegFonta=12 WHERE Kleidi='A'");
    ui().Command5->click();
    EXPECT_EQ(boxes.asked.back().text, "Delete item : \nBeta\nIt holds 4 items, which go with it. "
                                       "Ctrl+Z or Deleted items brings them back.");
    EXPECT_EQ(allKeys(), "A A1 C C1");
    EXPECT_EQ(ui().TreeView1->count(), 4);
    EXPECT_EQ(selectionOf(notes).Key, "A");
    EXPECT_EQ(ui().Text1->toPlainText(), "alpha note");
    EXPECT_DOUBLE_EQ(ui().Text1->fontSize(), 12.0);
}

TEST_F(EditingTest, NothingIsDeletedWithoutItsCopyInDeleted)
{
    open({{"A", "Alpha"}, {"B", "Beta"}, {"B1", "b1"}}, "2");
    const std::filesystem::path deleted = std::filesystem::path(path).parent_path() / "deleted";
    // A file where the folder should be: the copy cannot be written.
    std::ofstream(deleted) << "in the way";
    ui().Command5->click();
    EXPECT_EQ(allKeys(), "A B B1");
    EXPECT_NE(boxes.asked.back().text.indexOf("was not deleted"), -1)
        << boxes.asked.back().text.toStdString();

    std::filesystem::remove(deleted);
    ui().Command5->click();
    EXPECT_EQ(allKeys(), "A");
    ASSERT_TRUE(std::filesystem::is_directory(deleted));
    const auto copy = std::filesystem::directory_iterator(deleted)->path();
    EXPECT_TRUE(copy.filename().string().ends_with("-B.json")) << copy;
    EXPECT_NE(fileBytes(copy.string()).find("\"MyText\": \"b1\""), std::string::npos);
}

// An add and a delete leave the items open as the screen shows them, not as the file last
// stored them.
TEST_F(EditingTest, AddsAndDeletesKeepTheItemsOpenAsShown)
{
    open({{"A", "Alpha", true}, {"A1", "One"}, {"B", "Beta"}, {"B1", "b1"}}, "3");
    OutlineView &tree = *ui().TreeView1;
    tree.setExpanded(1, false);
    tree.setExpanded(3, true);
    ui().Command1->click(); // B2 under B
    EXPECT_EQ(selectionOf(*form).Key, "B2");
    EXPECT_FALSE(tree.isExpanded(1));
    EXPECT_TRUE(tree.isExpanded(3));
    ui().Command5->click(); // B2 again
    EXPECT_EQ(allKeys(), "A A1 B B1");
    EXPECT_EQ(selectionOf(*form).Key, "A");
    EXPECT_FALSE(tree.isExpanded(1));
    EXPECT_TRUE(tree.isExpanded(3));
}

TEST_F(EditingTest, TitlesEditedInPlaceAreStoredAsTyped)
{
    Form3 &notes = open({{"A", "Alpha"}, {"B", "Beta"}}, "2");
    ui().TreeView1->setFocus();
    QTest::keyClick(ui().TreeView1, Qt::Key_F2);
    auto *editor = ui().TreeView1->viewport()->findChild<QLineEdit *>();
    ASSERT_TRUE(editor);
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(editor, "  Gamma ");
    QTest::keyClick(editor, Qt::Key_Return);
    // The view commits the edit through a queued call.
    QCoreApplication::processEvents();
    EXPECT_EQ(querySql(path, "SELECT MyText FROM mynodes WHERE Kleidi='B'"), "  Gamma ");
    EXPECT_EQ(ui().TreeView1->text(2), "  Gamma ");
    // The path line follows the new title.
    EXPECT_EQ(selectionOf(notes).FullPath, "  Gamma ");
    EXPECT_EQ(ui().Label3->text(), "  Gamma ");

    ui().TreeView1->nodes().setData(ui().TreeView1->nodes().indexOf(1), QString(), Qt::EditRole);
    EXPECT_EQ(querySql(path, "SELECT MyText FROM mynodes WHERE Kleidi='B'"), "");
    notes.ClearTree();
    notes.LoadTree();
    EXPECT_EQ(ui().TreeView1->text(1), "Alpha");
}

} // namespace
} // namespace quillet::test
