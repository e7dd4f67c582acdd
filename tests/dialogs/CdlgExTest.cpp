#include "dialogs/CdlgEx.h"

#include "support/FakeChoosers.h"
#include "support/FakeMessageBoxes.h"
#include "support/FakePrinters.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

namespace quillet::test {
namespace {

class CdlgExTest : public testing::Test
{
protected:
    FakeChoosers choosers;
    FakeMessageBoxes boxes;
    FakePrinters printers;
    CdlgEx dialog{Platform{boxes, &choosers, nullptr, &printers}};
};

TEST_F(CdlgExTest, ANewInstanceHoldsNothingButReadsIconSize32)
{
    EXPECT_FALSE(dialog.CancelError());
    EXPECT_EQ(dialog.hOwner(), 0);
    EXPECT_EQ(dialog.flags(), 0);
    EXPECT_EQ(dialog.hIcon(), 0);
    EXPECT_FALSE(dialog.Bold());
    EXPECT_FALSE(dialog.Italic());
    EXPECT_FALSE(dialog.Underline());
    EXPECT_FALSE(dialog.StrikeThru());
    EXPECT_EQ(dialog.FontSize(), 0);
    EXPECT_EQ(dialog.FilterIndex(), 0);
    EXPECT_EQ(dialog.HelpCommand(), 0);
    EXPECT_EQ(dialog.HelpKey(), 0);
    EXPECT_EQ(dialog.RGBResult(), 0);
    for (const QString &text :
         {dialog.DialogTitle(), dialog.DialogPrompt(), dialog.AppName(), dialog.FontName(),
          dialog.DefaultExt(), dialog.FileName(), dialog.FileTitle(), dialog.Filter(),
          dialog.InitDir(), dialog.HelpFile()})
        EXPECT_TRUE(text.isEmpty());
    EXPECT_EQ(dialog.IconSize(), 32);
    dialog.setIconSize(20);
    EXPECT_EQ(dialog.IconSize(), 32);
    dialog.setIconSize(16);
    EXPECT_EQ(dialog.IconSize(), 16);
}

TEST_F(CdlgExTest, ActionNumbersWithoutADialogOpenNothing)
{
    for (int action : {0, 11, 15, -1, 1000}) {
        dialog.setAction(action);
    }
    EXPECT_TRUE(choosers.fontRequests.empty());
    EXPECT_TRUE(choosers.colorRequests.empty());
    dialog.setAction(3);
    EXPECT_EQ(choosers.colorRequests.size(), 1u);
    dialog.setAction(4);
    EXPECT_EQ(choosers.fontRequests.size(), 1u);
}

// The font request: the cell height from the screen's vertical DPI with halves to even, the
// size in tenths, the fixed options, the effects and the face name with its NUL.
TEST_F(CdlgExTest, FontRequestFollowsTheProperties)
{
    dialog.setFontName("DejaVu Sans");
    dialog.setFontSize(12);
    dialog.setBold(true);
    dialog.setUnderline(true);
    dialog.setRGBResult(0x0000FF);
    dialog.setflags(0x7FFFFFFF);
    dialog.sethOwner(7);
    dialog.ShowFont();
    ASSERT_EQ(choosers.fontRequests.size(), 1u);
    const FontRequest &request = choosers.fontRequests[0];
    EXPECT_EQ(request.font.height, 16);
    EXPECT_EQ(request.pointSize, 120);
    EXPECT_EQ(request.options, 0x141u);
    EXPECT_EQ(request.font.weight, 700);
    EXPECT_EQ(request.font.italic, 0);
    EXPECT_EQ(request.font.underline, 1);
    EXPECT_EQ(request.font.strikeOut, 0);
    EXPECT_STREQ(request.font.faceName.data(), "DejaVu Sans");
    EXPECT_EQ(request.color, 0x0000FF);
    EXPECT_EQ(request.owner, 7);
    EXPECT_EQ(request.fontType, 0x2000u);

    // 10 points at 96 dpi is 13.33 pixels: 13. At 108 dpi, 15 exactly; halves go to even.
    dialog.setFontSize(10);
    dialog.setBold(false);
    dialog.ShowFont();
    EXPECT_EQ(choosers.fontRequests.back().font.height, 13);
    EXPECT_EQ(choosers.fontRequests.back().font.weight, 0);
    choosers.dpi = 108;
    dialog.setFontSize(3); // 4.5 pixels
    dialog.ShowFont();
    EXPECT_EQ(choosers.fontRequests.back().font.height, 4);
    dialog.setFontName(QString());
    dialog.ShowFont();
    EXPECT_EQ(choosers.fontRequests.back().font.faceName[0], '\0');
}

TEST_F(CdlgExTest, ANameOrSizeTheRequestCannotHoldIsRefusedBeforeAnythingOpens)
{
    dialog.setFontName(QString(32, QLatin1Char('x')));
    dialog.ShowFont();
    EXPECT_EQ(choosers.fontRequests.size(), 1u);
    // 33 bytes, or 17 Greek letters of two bytes each: too long.
    for (const QString &name : {QString(33, QLatin1Char('x')), QString(17, QChar(0x3A9))}) {
        dialog.setFontName(name);
        EXPECT_THROW(dialog.ShowFont(), std::out_of_range);
    }
    dialog.setFontName("ok");
    dialog.setFontSize(300000000);
    EXPECT_THROW(dialog.ShowFont(), std::overflow_error);
    EXPECT_EQ(choosers.fontRequests.size(), 1u);
    EXPECT_EQ(dialog.FontName(), "ok");
}

TEST_F(CdlgExTest, AConfirmedFontComesBackThroughTheProperties)
{
    dialog.setFontName("Old");
    dialog.setFontSize(9);
    FontResult answer = FakeChoosers::font("DejaVu Serif", 105, 0x0000FF, true, true);
    answer.font.underline = 1;
    answer.font.weight = 400; // the bold bit of the font type decides, not the weight
    choosers.fontAnswers.push_back(answer);
    dialog.ShowFont();
    EXPECT_EQ(dialog.FontName(), "DejaVu Serif");
    EXPECT_EQ(dialog.FontSize(), 10); // 10.5 points, truncated
    EXPECT_EQ(dialog.RGBResult(), 0x0000FF);
    EXPECT_TRUE(dialog.Bold());
    EXPECT_TRUE(dialog.Italic());
    EXPECT_TRUE(dialog.Underline());
    EXPECT_FALSE(dialog.StrikeThru());

    // A font that cannot be made leaves the name; the other results are written.
    choosers.realisable = false;
    choosers.fontAnswers.push_back(FakeChoosers::font("Nowhere", 140, 0x00FF00, false, false));
    dialog.ShowFont();
    EXPECT_EQ(dialog.FontName(), "DejaVu Serif");
    EXPECT_EQ(dialog.FontSize(), 14);
    EXPECT_FALSE(dialog.Bold());
    EXPECT_EQ(dialog.RGBResult(), 0x00FF00);
}

// A cancelled chooser changes nothing; with CancelError it raises error number 0, also out of
// an Action write.
TEST_F(CdlgExTest, CancelChangesNothingAndRaisesOnlyWhenAsked)
{
    dialog.setFontName("Kept");
    dialog.setFontSize(11);
    dialog.setRGBResult(0x123456);
    dialog.ShowFont();
    dialog.ShowColor();
    EXPECT_EQ(dialog.FontName(), "Kept");
    EXPECT_EQ(dialog.FontSize(), 11);
    EXPECT_EQ(dialog.RGBResult(), 0x123456);

    dialog.setCancelError(true);
    for (int action : {3, 4}) {
        try {
            dialog.setAction(action);
            ADD_FAILURE() << "no error for action " << action;
        } catch (const DialogCancelled &error) {
            EXPECT_EQ(error.number(), 0);
        }
    }
    EXPECT_THROW(dialog.ShowColor(), DialogCancelled);
    EXPECT_EQ(dialog.RGBResult(), 0x123456);
}

TEST_F(CdlgExTest, ColorRequestMasksFlagsAndStartsFromFreshCustomColors)
{
    dialog.setflags(0x13);
    dialog.setRGBResult(0x00AA00);
    ColorResult answer;
    answer.confirmed = true;
    answer.color = 0x0000FF;
    answer.customColors.fill(0x00112233);
    choosers.colorAnswers.push_back(answer);
    dialog.ShowColor();
    dialog.ShowColor();
    ASSERT_EQ(choosers.colorRequests.size(), 2u);
    for (const ColorRequest &request : choosers.colorRequests) {
        EXPECT_EQ(request.options, 0x3u);
        for (std::uint32_t custom : request.customColors)
            EXPECT_EQ(custom, 0xFFFFFFFFu);
    }
    EXPECT_EQ(choosers.colorRequests[0].color, 0x00AA00);
    EXPECT_EQ(choosers.colorRequests[1].color, 0x0000FF);
    EXPECT_EQ(dialog.RGBResult(), 0x0000FF);
}

} // namespace
} // namespace quillet::test
