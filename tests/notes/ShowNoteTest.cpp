#include "NotesFixture.h"

#include <QGuiApplication>

#include <sqlite3.h>

namespace quillet::test {
namespace {

class ShowNoteTest : public NotesFixture
{
protected:
    // Selects node index the way start-up does, through the restore text box.
    void restore(const QString &text) { ui().Text2->setText(text); }

    void expectDefaultFormat()
    {
        NoteEditor &editor = *ui().Text1;
        EXPECT_EQ(editor.fontName(), "Courier New");
        EXPECT_DOUBLE_EQ(editor.fontSize(), 10.0);
        EXPECT_EQ(editor.foreColor(), 0x000000);
        EXPECT_EQ(editor.backColor(), 0xFFFFFF);
        EXPECT_FALSE(editor.fontBold());
        EXPECT_FALSE(editor.fontItalic());
    }
};

TEST_F(ShowNoteTest, NoteLosesSurroundingSpacesButKeepsLineBreaksAndTabs)
{
    load({{"A", "a"}});
    execSql(path, "UPDATE mynodes SET Keimeno='   \n\tfirst line\nsecond\t \n  ' WHERE ID=1");
    restore("1");
    EXPECT_EQ(ui().Text1->toPlainText(), "\n\tfirst line\nsecond\t \n");
}

TEST_F(ShowNoteTest, ZeroSizeMeansTheDefaultFormatWhateverElseIsStored)
{
    load({{"A", "a"}});
    execSql(path, "UPDATE mynodes SET Keimeno='x', MegFonta=0, Grammatoseira='DejaVu Sans', "
                  "XromaFont=255, XromaBack=0, FontaBold=1, FontaPlagia=1 WHERE ID=1");
    restore("1");
    expectDefaultFormat();
}

TEST_F(ShowNoteTest, StoredFormatIsShownWithTheFontNameTrimmed)
{
    load({{"A", "a"}});
    execSql(path, "UPDATE mynodes SET Keimeno='red', MegFonta=14, "
                  "Grammatoseira='  DejaVu Sans  ', XromaFont=255, XromaBack=65280, "
                  "FontaBold=1, FontaPlagia=0 WHERE ID=1");
    restore("1");
    NoteEditor &editor = *ui().Text1;
    EXPECT_EQ(editor.fontName(), "DejaVu Sans");
    EXPECT_DOUBLE_EQ(editor.fontSize(), 14.0);
    EXPECT_EQ(editor.foreColor(), 0x0000FF);
    EXPECT_EQ(editor.palette().color(QPalette::Text), QColor(255, 0, 0));
    EXPECT_EQ(editor.backColor(), 0x00FF00);
    EXPECT_TRUE(editor.fontBold());
    EXPECT_FALSE(editor.fontItalic());
}

// A stored colour with the top bit set names a system colour: it is the desktop's, not a
// dark red made of its low bytes.
TEST_F(ShowNoteTest, SystemColoursComeFromTheDesktopPalette)
{
    load({{"A", "a"}});
    execSql(path, "UPDATE mynodes SET MegFonta=12, XromaFont=-2147483640, XromaBack=-2147483643 "
                  "WHERE ID=1");
    restore("1");
    const QPalette desktop = QGuiApplication::palette();
    EXPECT_EQ(ui().Text1->palette().color(QPalette::Text), desktop.color(QPalette::Text));
    EXPECT_EQ(ui().Text1->palette().color(QPalette::Base), desktop.color(QPalette::Base));
}

// A Null size is not 0: the stored branch runs, and every Null column leaves the editor's
// property as it was. A Null note shows as empty text.
TEST_F(ShowNoteTest, NullColumnsKeepTheEditorsPreviousFormat)
{
    createDatabase(path, {{"A", "formatted"}, {"B", "nulls"}});
    execSql(path, "UPDATE mynodes SET MegFonta=16, Grammatoseira='DejaVu Serif', XromaFont=128, "
                  "XromaBack=12632256, FontaBold=0, FontaPlagia=1 WHERE Kleidi='A';");
    // Our own table refuses a Null size; make B's row as a foreign file could hold it.
    execSql(path, "CREATE TABLE copy AS SELECT * FROM mynodes; DROP TABLE mynodes; "
                  "CREATE TABLE mynodes (ID INTEGER PRIMARY KEY, Kleidi, MyText, Keimeno, "
                  "anoixto, MegFonta, Grammatoseira, XromaFont, XromaBack, FontaBold, "
                  "FontaPlagia); INSERT INTO mynodes SELECT * FROM copy; DROP TABLE copy; "
                  "UPDATE mynodes SET Keimeno=NULL, MegFonta=NULL, Grammatoseira=NULL, "
                  "XromaFont=NULL, XromaBack=NULL, FontaBold=NULL, FontaPlagia=NULL "
                  "WHERE Kleidi='B'");
    loadExisting();
    restore("1");
    ui().Text1->setPlainText("typed");
    ui().TreeView1->select(2);
    ui().TreeView1->nodeClicked(2);
    NoteEditor &editor = *ui().Text1;
    EXPECT_EQ(editor.toPlainText(), "");
    EXPECT_EQ(editor.fontName(), "DejaVu Serif");
    EXPECT_DOUBLE_EQ(editor.fontSize(), 16.0);
    EXPECT_EQ(editor.foreColor(), 128);
    EXPECT_EQ(editor.backColor(), 12632256);
    EXPECT_FALSE(editor.fontBold());
    EXPECT_TRUE(editor.fontItalic());
}

TEST_F(ShowNoteTest, UnusableSizeOrTextSizeFallsBackSensibly)
{
    createDatabase(path, {{"A", "huge"}, {"B", "word"}});
    execSql(path, "UPDATE mynodes SET MegFonta=99999, Grammatoseira='DejaVu Sans' WHERE ID=1;"
                  "UPDATE mynodes SET MegFonta='large', Grammatoseira='DejaVu Serif' WHERE ID=2");
    loadExisting();
    restore("1");
    // A size no font can take is skipped; the rest of the stored format applies.
    EXPECT_EQ(ui().Text1->fontName(), "DejaVu Sans");
    EXPECT_DOUBLE_EQ(ui().Text1->fontSize(), 9.75);
    // A size that is not a number cannot be compared with 0: the default format applies.
    ui().TreeView1->nodeClicked(2);
    expectDefaultFormat();
}

TEST_F(ShowNoteTest, ARowThatIsGoneEmptiesTheEditorInTheDefaultFormat)
{
    load({{"A", "a"}, {"B", "b"}});
    execSql(path, "UPDATE mynodes SET Keimeno='kept', MegFonta=20 WHERE ID=1;"
                  "DELETE FROM mynodes WHERE Kleidi='B'");
    restore("1");
    ASSERT_EQ(ui().Text1->toPlainText(), "kept");
    form->show();
    const QRect rect = ui().TreeView1->visualRect(ui().TreeView1->nodes().indexOf(1));
    QTest::mouseClick(ui().TreeView1->viewport(), Qt::LeftButton, {}, rect.center());
    EXPECT_EQ(selectionOf(*form).Key, "B");
    EXPECT_EQ(ui().Text1->toPlainText(), "");
    expectDefaultFormat();
    EXPECT_TRUE(boxes.asked.empty());
}

TEST_F(ShowNoteTest, RestoreTreatsZeroAndNonNumbersAsTheFirstNode)
{
    for (const char *text : {"0", "-3", "abc", "", "40000"}) {
        load({{"A", "Alpha"}, {"B", "Beta"}});
        execSql(path, "UPDATE mynodes SET Keimeno='alpha note' WHERE ID=1");
        restore(text);
        EXPECT_EQ(selectionOf(*form).Key, "A") << text;
        EXPECT_EQ(selectionOf(*form).Text, "Alpha");
        EXPECT_EQ(selectionOf(*form).Index, "1");
        EXPECT_EQ(selectionOf(*form).FullPath, "Alpha");
        EXPECT_EQ(ui().TreeView1->selectedIndex(), 1);
        EXPECT_EQ(ui().Text1->toPlainText(), "alpha note");
        std::remove(path.c_str());
    }
}

// With nothing selected the editor is empty and takes no typing: there is no row to store it in.
TEST_F(ShowNoteTest, RestoreBeyondTheLastNodeSelectsNothingAndTheEditorTakesNoTyping)
{
    load({{"A", "Alpha"}, {"B", "Beta"}});
    form->show();
    restore("3");
    EXPECT_EQ(selectionOf(*form).Key, "");
    EXPECT_EQ(selectionOf(*form).Index, "");
    EXPECT_EQ(selectionOf(*form).FullPath, "Label3");
    EXPECT_EQ(ui().TreeView1->selectedIndex(), 0);
    EXPECT_TRUE(ui().Text1->isReadOnly());
    ui().Text1->setFocus();
    QTest::keyClicks(ui().Text1, "lost words");
    EXPECT_EQ(ui().Text1->toPlainText(), "");
    EXPECT_TRUE(boxes.asked.empty());
}

TEST_F(ShowNoteTest, RestoreSelectsTheStoredIndexWithoutRaisingAClick)
{
    load({{"A", "Alpha", true}, {"A1", "One"}, {"A2", "Two"}});
    execSql(path, "UPDATE mynodes SET Keimeno='two' WHERE Kleidi='A2'");
    restore("3");
    EXPECT_EQ(selectionOf(*form).Key, "A2");
    EXPECT_EQ(selectionOf(*form).FullPath, "Alpha > Two");
    EXPECT_EQ(ui().TreeView1->selectedIndex(), 3);
    EXPECT_EQ(ui().Text1->toPlainText(), "two");
}

} // namespace
} // namespace quillet::test

namespace quillet::test {
namespace {

// A note that cannot be read (here: another program holds the file locked past the wait) is
// not shown as an empty note that could later be saved over the real one: the user is told,
// and the editor stays read-only until a note is read again.
TEST_F(ShowNoteTest, ANoteThatCannotBeReadIsReportedAndNotEditable)
{
    load({{"A", "a"}, {"B", "b"}});
    execSql(path, "UPDATE mynodes SET Keimeno='precious' WHERE Kleidi='B'");
    restore("1");

    sqlite3 *other = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    ui().TreeView1->select(2);
    ui().TreeView1->nodeClicked(2);
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_TRUE(boxes.asked[0].text.contains("could not be read"));
    EXPECT_TRUE(boxes.asked[0].text.contains(QString::fromStdString(path)));
    EXPECT_TRUE(ui().Text1->isReadOnly());
    EXPECT_EQ(ui().Text1->toPlainText(), "");

    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    form->ShowNote();
    EXPECT_FALSE(ui().Text1->isReadOnly());
    EXPECT_EQ(ui().Text1->toPlainText(), "precious");
}

} // namespace
} // namespace quillet::test
