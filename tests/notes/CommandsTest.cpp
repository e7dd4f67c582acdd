#include "NotesFixture.h"
#include "dialogs/CdlgEx.h"
#include "notes/windows/NotePrinting.h"
#include "platform/PrinterRecords.h"
#include "platform/WindowHandles.h"

#include <QGroupBox>
#include <QProcess>

#include <filesystem>

namespace quillet::test {
namespace {

class CommandsTest : public NotesFixture
{
protected:
    std::string backColorOf(const char *key)
    {
        return querySql(path,
                        std::string("SELECT XromaBack FROM mynodes WHERE Kleidi='") + key + "'");
    }
    QGroupBox *frame2() { return control<QGroupBox>(*form, "Frame2"); }
    void click(const char *button) { control<QAbstractButton>(*form, button)->click(); }
};

// The brush applies a colour above 0 and stores the format in any case. A cancel applies what
// the last colour or font command left: after the font command, the text colour.
TEST_F(CommandsTest, TheBrushAppliesColoursAboveBlackAndAlwaysStoresTheFormat)
{
    load({{"A", "Alpha"}});
    ui().Text2->setText("1");
    const std::int32_t white = ui().Text1->backColor();

    click("Command9"); // cancelled before any colour: RGBResult 0 applies nothing
    EXPECT_EQ(ui().Text1->backColor(), white);
    EXPECT_EQ(backColorOf("A"), std::to_string(white));

    choosers.colorAnswers.push_back(FakeChoosers::color(0x000000));
    click("Command9"); // black is not applied
    EXPECT_EQ(ui().Text1->backColor(), white);

    choosers.colorAnswers.push_back(FakeChoosers::color(0x00FF00));
    click("Command9"); // a colour above black applies
    EXPECT_EQ(ui().Text1->backColor(), 0x00FF00);

    // Cancelled right after the font command: nothing changes, not even to the text colour,
    // and the chooser started on the note's background.
    choosers.fontAnswers.push_back(FakeChoosers::font("DejaVu Sans", 100, 0x0000FF, false, false));
    ui().Command10->click();
    click("Command9");
    EXPECT_EQ(ui().Text1->backColor(), 0x00FF00);
    EXPECT_EQ(backColorOf("A"), std::to_string(0x00FF00));
    EXPECT_EQ(choosers.colorRequests.back().color, 0x00FF00);
    EXPECT_EQ(choosers.colorRequests.back().options & 1u, 1u);
    EXPECT_EQ(choosers.colorRequests.back().owner, windowHandles::handleOf(form.get()));
    EXPECT_TRUE(boxes.asked.empty());
}

// An add without room is refused in an OK box that names the reason, and changes nothing: the
// nine numbers of a level, the outline's most items, its most levels. An item beside one
// already deeper than that goes no deeper, and is added.
TEST_F(CommandsTest, AnAddWithoutRoomSaysWhyAndChangesNothing)
{
    // Keys of the given length below "A": "A", "A1", "A11", and so on.
    const auto chain = [](int levels) {
        std::vector<Row> rows;
        std::string key = "A";
        for (int level = 1; level <= levels; ++level, key += '1')
            rows.push_back({key, "level " + std::to_string(level)});
        return rows;
    };
    const std::string full =
        "WITH RECURSIVE digit(d) AS (VALUES (1), (2), (3), (4), (5), (6), (7), (8), (9)),"
        " k(key) AS (SELECT 'A1' UNION ALL SELECT key || d FROM k, digit LIMIT 32765)"
        " INSERT INTO mynodes (Kleidi, MyText) SELECT key, 't' FROM k";
    const QString noRoom = "No room for a new item here!";
    const QString tooDeep = "No room for a new subitem here: the outline goes at most 100 levels "
                            "deep.";
    const QString mostItems = "No room for a new item: the outline holds at most 32766 items, and "
                              "it holds that many now.";
    struct Case
    {
        const char *name;
        std::vector<Row> rows;
        std::string moreRows; // SQL
        const char *selected;
        const char *button;
        QString refusal; // empty: the add is asked about
    };
    std::vector<Row> nine = {{"A", "Alpha"}};
    for (char digit = '1'; digit <= '9'; ++digit)
        nine.push_back({std::string("A") + digit, "child"});
    const Case cases[] = {
        {"a tenth child", nine, {}, "1", "Command1", noRoom},
        {"a tenth item beside", nine, {}, "2", "Command4", noRoom},
        {"a subitem at 99 levels", chain(99), {}, "99", "Command1", {}},
        {"a subitem at 100 levels", chain(100), {}, "100", "Command1", tooDeep},
        {"a subitem at 101 levels", chain(101), {}, "101", "Command1", tooDeep},
        {"an item beside one at 100 levels", chain(100), {}, "100", "Command4", {}},
        {"an item beside one at 101 levels", chain(101), {}, "101", "Command4", {}},
        {"an item beside in a full outline", {{"A", "Alpha"}}, full, "2", "Command4", mostItems},
        {"a subitem in a full outline", {{"A", "Alpha"}}, full, "2", "Command1", mostItems},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        form.reset();
        std::filesystem::remove(path);
        createDatabase(path, c.rows);
        if (!c.moreRows.empty())
            execSql(path, c.moreRows);
        loadExisting();
        ui().Text2->setText(c.selected);
        const int count = ui().TreeView1->count();
        const QString selected = selectionOf(*form).Key;
        const std::string before = fileBytes(path);
        boxes.asked.clear();
        boxes.answers = {MessageBoxes::Answer::No};
        click(c.button);
        ASSERT_EQ(boxes.asked.size(), 1u);
        if (c.refusal.isEmpty()) {
            EXPECT_EQ(boxes.asked[0].title, "Attention") << boxes.asked[0].text.toStdString();
            continue;
        }
        EXPECT_EQ(boxes.asked[0].text, c.refusal);
        EXPECT_EQ(boxes.asked[0].title, "");
        EXPECT_EQ(boxes.asked[0].buttons, MessageBoxes::Buttons::Ok);
        EXPECT_EQ(boxes.asked[0].icon, MessageBoxes::Icon::None);
        EXPECT_EQ(fileBytes(path), before);
        EXPECT_EQ(ui().TreeView1->count(), count);
        EXPECT_EQ(selectionOf(*form).Key, selected);
    }
}

TEST_F(CommandsTest, ExpandAllOpensEveryItemWithChildrenAtEveryDepth)
{
    load({{"A", "a"},
          {"A1", "a1"},
          {"A11", "a11"},
          {"A111", "a111"},
          {"B", "b"},
          {"C", "c"},
          {"C1", "c1"}});
    const std::string before = fileBytes(path);
    click("Command2");
    for (int index : {1, 2, 3, 6})
        EXPECT_TRUE(ui().TreeView1->isExpanded(index)) << index;
    for (int index : {4, 5, 7})
        EXPECT_FALSE(ui().TreeView1->isExpanded(index)) << index;
    EXPECT_EQ(fileBytes(path), before);
}

// Open File shows the chosen path as the hidden panel's caption, and after a cancel the path
// chosen before; nothing else changes. The binoculars change nothing at all.
TEST_F(CommandsTest, OpenFileShowsThePathAndTheBinocularsChangeNothing)
{
    load({{"A", "Alpha"}});
    ui().Text2->setText("1");
    ui().Text1->setPlainText("as it was");
    const std::string before = fileBytes(path);
    choosers.fileAnswers.push_back(FakeChoosers::file("/home/me/list.txt", "list.txt"));
    click("Command11");
    EXPECT_EQ(frame2()->title(), "/home/me/list.txt");
    EXPECT_EQ(choosers.fileRequests.back().filter,
              CdlgEx::convertedFilter("Text files|*.txt|All files|*.*"));
    click("Command11");
    EXPECT_EQ(frame2()->title(), "/home/me/list.txt");
    click("Command7");
    EXPECT_EQ(fileBytes(path), before);
    EXPECT_EQ(ui().Text1->toPlainText(), "as it was");
    EXPECT_TRUE(boxes.asked.empty());
}

TEST_F(CommandsTest, PrintersShowsThePrintDialogOnTheCurrentPrinter)
{
    load({{"A", "Alpha"}});
    click("Command12"); // none installed
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_EQ(boxes.asked[0].title, "Printer Error");
    printers.printers = {{"Lab", "drv", "lp0"}};
    click("Command12");
    ASSERT_EQ(choosers.printRequests.size(), 1u);
    EXPECT_EQ(printerRecords::deviceNameIn(choosers.printRequests[0].devNames), "Lab");
    EXPECT_EQ(boxes.asked.size(), 1u);
}

// Ctrl+P prints the selected note under its full path, starting on the current printer; with
// no printer installed the user is told, and the dialog still offers a PDF file.
TEST_F(CommandsTest, CtrlPPrintsTheNoteUnderItsPath)
{
    load({{"A", "Alpha"}, {"A1", "One"}});
    execSql(path, "UPDATE mynodes SET Keimeno='Hello printed world' WHERE Kleidi='A1'");
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    ui().Text2->setText("2");
    printers.printers = {{"Lab", "drv", "lp0"}};
    choosers.printFile = folder.folder() + "/note.pdf";
    QTest::keyClick(ui().Text1, Qt::Key_P, Qt::ControlModifier);
    ASSERT_EQ(choosers.printed.size(), 1u);
    EXPECT_EQ(choosers.printed[0].deviceName, "Lab");
    EXPECT_TRUE(boxes.asked.empty());

    QProcess reader;
    reader.start("pdftotext", {choosers.printFile, "-"});
    ASSERT_TRUE(reader.waitForFinished(30000));
    const QString printedText = QString::fromUtf8(reader.readAllStandardOutput());
    EXPECT_TRUE(printedText.contains("Alpha > One")) << printedText.toStdString();
    EXPECT_TRUE(printedText.contains("Hello printed world")) << printedText.toStdString();

    printers.printers.clear();
    choosers.printFile.clear();
    QTest::keyClick(ui().Text1, Qt::Key_P, Qt::ControlModifier);
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_TRUE(boxes.asked[0].text.contains("No printer")) << boxes.asked[0].text.toStdString();
    ASSERT_EQ(choosers.printed.size(), 2u);
    EXPECT_EQ(choosers.printed[1].deviceName, "");
    // The document is named after the item, which the dialog offers as the PDF's name.
    EXPECT_EQ(choosers.printed[1].documentName, "One");
}

// The name a PDF gets from a title: what a file name cannot hold as "_", no leading dot or
// dash, at most 200 bytes cut at a character.
TEST(PrintFileNameTest, ATitleBecomesANameAFileCanHave)
{
    const QString greek200 = QString(100, QChar(0x03B1)); // 200 bytes of UTF-8
    const std::pair<QString, QString> cases[] = {
        {"Plans / 2026: Q1?", "Plans _ 2026_ Q1_"},
        {"..hidden", "hidden"},
        {"--option", "option"},
        {"a\tb<c>|\"d\"*", "a_b_c___d__"},
        {"", "note"},
        {"/", "_"},
        {greek200 + "x", greek200},
        {"x" + greek200, "x" + QString(99, QChar(0x03B1))},
        {QString(199, 'a') + QString::fromUtf8("\xF0\x9F\x93\x9D"), QString(199, 'a')},
    };
    for (const auto &[title, name] : cases) {
        EXPECT_EQ(printFileName(title), name) << title.toStdString();
        EXPECT_LE(printFileName(title).toUtf8().size(), 200);
    }
}

} // namespace
} // namespace quillet::test
