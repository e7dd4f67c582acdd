#include "NotesFixture.h"
#include "dialogs/CdlgEx.h"

#include <QToolButton>

namespace quillet::test {
namespace {

class FormattingTest : public NotesFixture
{
protected:
    std::string formatOf(const char *key)
    {
        return querySql(path, std::string("SELECT Grammatoseira || '|' || MegFonta || '|' || "
                                          "XromaFont || '|' || XromaBack || '|' || FontaBold || "
                                          "'|' || FontaPlagia FROM mynodes WHERE Kleidi='") +
                                  key + "'");
    }
};

// Cancelling keeps the name, colour, bold and italic, rounds the size to whole points, and
// stores the format all the same.
TEST_F(FormattingTest, ACancelledFontCommandRoundsTheSizeAndStoresTheFormat)
{
    load({{"A", "Alpha"}});
    execSql(path, "UPDATE mynodes SET MegFonta=9.75, Grammatoseira='DejaVu Serif', "
                  "XromaFont=255, XromaBack=15790320, FontaBold=1, FontaPlagia=1 WHERE ID=1");
    ui().Text2->setText("1");
    ASSERT_DOUBLE_EQ(ui().Text1->fontSize(), 9.75);
    ui().Command10->click();
    ASSERT_EQ(choosers.fontRequests.size(), 1u);
    EXPECT_EQ(choosers.fontRequests[0].pointSize, 100);
    EXPECT_STREQ(choosers.fontRequests[0].font.faceName.data(), "DejaVu Serif");
    EXPECT_EQ(choosers.fontRequests[0].color, 255);
    EXPECT_EQ(choosers.fontRequests[0].font.weight, 700);
    EXPECT_EQ(choosers.fontRequests[0].font.italic, 1);

    NoteEditor &editor = *ui().Text1;
    EXPECT_EQ(editor.fontName(), "DejaVu Serif");
    EXPECT_DOUBLE_EQ(editor.fontSize(), 10);
    EXPECT_EQ(editor.foreColor(), 255);
    EXPECT_TRUE(editor.fontBold());
    EXPECT_TRUE(editor.fontItalic());
    EXPECT_EQ(formatOf("A"), "DejaVu Serif|10.0|255|15790320|1|1");
    EXPECT_TRUE(boxes.asked.empty());
}

TEST_F(FormattingTest, AChosenFontIsStoredAndComesBackAfterReselectingAndRestarting)
{
    load({{"A", "Alpha"}, {"B", "Beta"}});
    ui().Text2->setText("1");
    const std::int32_t back = ui().Text1->backColor();
    choosers.fontAnswers.push_back(FakeChoosers::font("DejaVu Sans", 140, 0x0000FF, true, true));
    ui().Command10->click();
    EXPECT_EQ(formatOf("A"), "DejaVu Sans|14.0|255|" + std::to_string(back) + "|1|1");
    EXPECT_EQ(formatOf("B"), "NULL");

    const auto expectShown = [&] {
        NoteEditor &editor = *ui().Text1;
        EXPECT_EQ(editor.fontName(), "DejaVu Sans");
        EXPECT_DOUBLE_EQ(editor.fontSize(), 14);
        EXPECT_EQ(editor.foreColor(), 0x0000FF);
        EXPECT_TRUE(editor.fontBold());
        EXPECT_TRUE(editor.fontItalic());
    };
    expectShown();
    ui().TreeView1->select(2);
    ui().TreeView1->nodeClicked(2);
    EXPECT_EQ(ui().Text1->fontName(), "Courier New");
    ui().TreeView1->nodeClicked(1);
    expectShown();

    // A new window over the same file, as after a restart.
    loadExisting();
    ui().Text2->setText("1");
    expectShown();
}

TEST_F(FormattingTest, WithoutASelectionOnlyTheEditorChanges)
{
    load({{"A", "Alpha"}});
    ui().Text2->setText("5");
    ASSERT_EQ(selectionOf(*form).Key, "");
    const std::string before = fileBytes(path);
    choosers.fontAnswers.push_back(FakeChoosers::font("DejaVu Serif", 180, 0x00FF00, false, true));
    ui().Command10->click();
    EXPECT_EQ(ui().Text1->fontName(), "DejaVu Serif");
    EXPECT_DOUBLE_EQ(ui().Text1->fontSize(), 18);
    EXPECT_EQ(ui().Text1->foreColor(), 0x00FF00);
    EXPECT_EQ(fileBytes(path), before);
    EXPECT_TRUE(boxes.asked.empty());
}

TEST_F(FormattingTest, TheWindowKeepsOneDialogWhosePropertiesCarryOver)
{
    load({{"A", "Alpha"}});
    ui().Text2->setText("1");
    // The chooser answers with underline on: the command neither sets nor reads it, so it
    // carries over to the next use of the same dialog.
    FontResult underlined = FakeChoosers::font("DejaVu Sans", 100, 0, false, false);
    underlined.font.underline = 1;
    choosers.fontAnswers.push_back(underlined);
    ui().Command10->click();
    ui().Command10->click();
    ASSERT_EQ(choosers.fontRequests.size(), 2u);
    EXPECT_EQ(choosers.fontRequests[0].font.underline, 0);
    EXPECT_EQ(choosers.fontRequests[1].font.underline, 1);
}

} // namespace
} // namespace quillet::test
