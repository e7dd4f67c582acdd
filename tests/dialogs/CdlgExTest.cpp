#include "dialogs/CdlgEx.h"

#include "platform/PrinterRecords.h"
#include "support/FakeChoosers.h"
#include "support/FakeMessageBoxes.h"
#include "support/FakePrinters.h"
#include "support/FakeShell.h"

#include <QCoreApplication>

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
    FakeShell shell;
    CdlgEx dialog{Platform{boxes, &choosers, nullptr, &printers, &shell}};
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
    dialog.setAction(1);
    dialog.setAction(2);
    ASSERT_EQ(choosers.fileRequests.size(), 2u);
    EXPECT_FALSE(choosers.fileRequests[0].save);
    EXPECT_TRUE(choosers.fileRequests[1].save);
    printers.printers = {{"Lab", "drv", "lp0"}};
    dialog.setAction(5);
    EXPECT_EQ(choosers.printRequests.size(), 1u);
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

QString nuls(qsizetype count)
{
    return QString(count, QChar(u'\0'));
}

// The file request: the converted filter, the masked options, the initial folder, the path and
// title buffers of 255 characters; the results cut at their first NUL.
TEST_F(CdlgExTest, FileRequestFollowsThePropertiesAndResultsEndAtTheirNul)
{
    for (const auto &[filter, converted] : std::vector<std::pair<QString, QString>>{
             {"Text files|*.txt|All files|*.*",
              "Text files" + nuls(1) + "*.txt" + nuls(1) + "All files" + nuls(1) + "*.*" + nuls(2)},
             {"Notes|*.txt|", "Notes" + nuls(1) + "*.txt" + nuls(3)},
             {"", nuls(2)}}) {
        EXPECT_EQ(CdlgEx::convertedFilter(filter), converted) << filter.toStdString();
    }

    dialog.setflags(-1);
    dialog.setFileName("start.txt");
    dialog.setFilter("Text files|*.txt");
    dialog.setFilterIndex(2);
    dialog.setDialogTitle("Pick");
    dialog.setDefaultExt("txt");
    choosers.fileAnswers.push_back(FakeChoosers::file("/home/me/notes.txt", "notes.txt"));
    dialog.ShowOpen();
    ASSERT_EQ(choosers.fileRequests.size(), 1u);
    const FileRequest &request = choosers.fileRequests[0];
    EXPECT_EQ(request.options, 0xFFFFFF1Fu);
    EXPECT_EQ(request.initialFolder, QCoreApplication::applicationDirPath());
    EXPECT_EQ(request.file, "start.txt" + nuls(246));
    EXPECT_EQ(request.fileTitle, nuls(255));
    EXPECT_EQ(request.filter, "Text files" + nuls(1) + "*.txt" + nuls(2));
    EXPECT_EQ(request.filterIndex, 2);
    EXPECT_EQ(request.title, "Pick");
    EXPECT_EQ(request.defaultExt, "txt");
    EXPECT_EQ(dialog.FileName(), "/home/me/notes.txt");
    EXPECT_EQ(dialog.FileTitle(), "notes.txt");
    EXPECT_EQ(dialog.FilterIndex(), 2);

    // A cancel changes nothing; with CancelError it raises the cancel error as well.
    dialog.setInitDir("/srv/shared");
    dialog.ShowSave();
    EXPECT_EQ(choosers.fileRequests.back().initialFolder, "/srv/shared");
    dialog.setCancelError(true);
    EXPECT_THROW(dialog.ShowOpen(), DialogCancelled);
    EXPECT_EQ(dialog.FileName(), "/home/me/notes.txt");
    EXPECT_EQ(dialog.FileTitle(), "notes.txt");

    // Too long for the request: refused before anything opens.
    const auto requests = choosers.fileRequests.size();
    dialog.setFileName(QString(256, QLatin1Char('x')));
    EXPECT_THROW(dialog.ShowOpen(), std::invalid_argument);
    dialog.setFileName(QString());
    dialog.setFilter(QString(32768, QLatin1Char('|')));
    EXPECT_THROW(dialog.ShowSave(), std::overflow_error);
    EXPECT_EQ(choosers.fileRequests.size(), requests);
}

// The two printer records, byte for byte.
TEST(PrinterRecordsTest, RecordsAreLaidOutAsThePrintDialogReadsThem)
{
    using namespace printerRecords;
    struct NamesCase
    {
        QByteArray driver, device, port;
        int deviceOffset, portOffset;
        QByteArray text; // the 100-byte text area
    };
    const NamesCase cases[] = {
        {"drv", "Laserjet 5", "LPT1:", 12, 23,
         QByteArray("drv\0Laserjet 5\0LPT1:\0", 21) + QByteArray(79, ' ')},
        {QByteArray(60, 'd'), QByteArray(50, 'v'), "p", 69, 120,
         QByteArray(60, 'd') + '\0' + QByteArray(39, 'v')},
    };
    for (const NamesCase &c : cases) {
        const DevNames names = devNames(c.driver, c.device, c.port);
        EXPECT_EQ(names[0] | names[1] << 8, 8);
        EXPECT_EQ(names[2] | names[3] << 8, c.deviceOffset);
        EXPECT_EQ(names[4] | names[5] << 8, c.portOffset);
        EXPECT_EQ(names[6] | names[7] << 8, 0);
        EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(names.data()) + 8, 100), c.text);
    }
    EXPECT_THROW(devNames(QByteArray(32760, 'd'), "device", "port"), std::overflow_error);

    DevMode mode = devMode("Laserjet 5", 2);
    setDuplex(mode, 3);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(mode.data()), 32),
              "Laserjet 5" + QByteArray(22, ' '));
    EXPECT_EQ(mode[36] | mode[37] << 8, 122);
    EXPECT_EQ(mode[40] | mode[41] << 8 | mode[42] << 16 | mode[43] << 24, 0x1001);
    EXPECT_EQ(orientation(mode), 2);
    EXPECT_EQ(duplex(mode), 3);
    EXPECT_EQ(std::count(mode.begin() + 64, mode.end(), 0), 122 - 64);
    // Padded with spaces, the name has no end: a dialog must answer with one.
    EXPECT_THROW(deviceName(mode), std::invalid_argument);
    EXPECT_EQ(
        QByteArray(reinterpret_cast<const char *>(devMode(QString(40, QLatin1Char('n')), 1).data()),
                   32),
        QByteArray(32, 'n'));
    // A name whose 32nd byte is inside a character is cut before that character, never
    // inside it: the name kept is still text, and still a prefix of the printer's.
    const QString greekEnd = QString(31, QLatin1Char('a')) + QChar(0x03B1);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(devMode(greekEnd, 1).data()), 32),
              QByteArray(31, 'a') + ' ');
    const DevMode greekAnswer = answered(mode, greekEnd, 1, 1, 1);
    EXPECT_FALSE(deviceName(greekAnswer).contains(QChar(0xFFFD)));
    EXPECT_TRUE(greekEnd.startsWith(deviceName(greekAnswer)));
    const DevMode answer = answered(mode, "Office", 3, 2, 1);
    EXPECT_EQ(deviceName(answer), "Office");
    EXPECT_EQ(copies(answer), 3);
    EXPECT_EQ(duplex(answer), 2);
    EXPECT_EQ(orientation(answer), 1);
}

class PrinterDialogTest : public CdlgExTest
{
protected:
    void answer(const QString &name, std::int16_t copies, std::int16_t duplex,
                std::int16_t orientation)
    {
        PrintResult result;
        result.confirmed = true;
        result.devMode = printerRecords::answered({}, name, copies, duplex, orientation);
        choosers.printAnswers.push_back(result);
    }
};

// The dialog starts on the current printer; the chosen name, in upper case, is matched against
// every installed printer and the last match becomes current; then copies, duplex and
// orientation, in that order.
TEST_F(PrinterDialogTest, TheChosenPrinterBecomesCurrentWithItsSettings)
{
    printers.printers = {{"Office", "pcl", "usb"}, {"OFFICE", "ps", "net"}, {"Lab", "drv", "lp0"}};
    printers.currentIndex = 2;
    dialog.setflags(-1);
    dialog.sethOwner(7);
    answer("office", 2, 3, 2);
    dialog.ShowPrinter();
    ASSERT_EQ(choosers.printRequests.size(), 1u);
    const PrintRequest &request = choosers.printRequests[0];
    EXPECT_EQ(request.options, 0x1C0FFFu);
    EXPECT_EQ(request.owner, 7);
    EXPECT_EQ(printerRecords::deviceNameIn(request.devNames), "Lab");
    EXPECT_EQ(printerRecords::orientation(request.devMode), Printers::Portrait);
    EXPECT_EQ(printerRecords::duplex(request.devMode), Printers::Simplex);
    EXPECT_EQ(printers.changes, (std::vector<std::string>{"current 0", "current 1", "copies 2",
                                                          "duplex 3", "orientation 2"}));
    EXPECT_EQ(dialog.hOwner(), 7);

    // Keeping a current printer whose name is in upper case skips the walk, not the settings.
    printers.changes.clear();
    answer("OFFICE", 1, 1, 1);
    dialog.ShowPrinter();
    EXPECT_EQ(printers.changes,
              (std::vector<std::string>{"copies 1", "duplex 1", "orientation 1"}));

    // A cancel touches nothing.
    printers.changes.clear();
    dialog.ShowPrinter();
    EXPECT_TRUE(printers.changes.empty());
    EXPECT_TRUE(boxes.asked.empty());
}

// With no printer installed the user is told once per command, and nothing opens.
TEST_F(PrinterDialogTest, NoPrinterIsSaidOnceAndNothingOpens)
{
    dialog.ShowPrinter();
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_EQ(boxes.asked[0].title, "Printer Error");
    EXPECT_EQ(boxes.asked[0].icon, MessageBoxes::Icon::Warning);
    EXPECT_EQ(boxes.asked[0].buttons, MessageBoxes::Buttons::Ok);
    EXPECT_TRUE(boxes.asked[0].text.contains("No printer"));
    EXPECT_TRUE(choosers.printRequests.empty());
    dialog.ShowPrinter();
    EXPECT_EQ(boxes.asked.size(), 2u);
}

// Each dialog takes its own field of flags: what the desktop is asked for each value.
TEST_F(CdlgExTest, EachShellDialogTakesItsFieldOfFlags)
{
    struct FlagsCase
    {
        std::int32_t flags;
        const char *run;     // the run dialog's options
        const char *restart; // the restart kind
        const char *object;  // what ShowObjectProp("Lab", "General") asks
        const char *folder;  // the folder chooser's options
    };
    const FlagsCase cases[] = {
        {0, "0", "0", "objectProperties|0|2||General", "1"},
        {0x340, "4", "0", "settingsPanel|3|rundll32.exe shell32.dll,Control_RunDLL main.cpl,,0",
         "1"},
        {0x100, "0", "0", "objectProperties|0|1|Lab|General", "1"},
        {0x200, "0", "0", "objectProperties|0|2|Lab|General", "1"},
        {0x1000, "0", "0", "objectProperties|0|2||General", "4096"},
        {0x1001, "0", "1", "objectProperties|0|2||General", "4097"},
        {0x907, "0", "7", "settingsPanel|9|rundll32.exe shell32.dll,Control_RunDLL inetcpl.cpl,,0",
         "1"},
        {-1, "15", "7", "objectProperties|0|2||General", "28673"},
    };
    for (const FlagsCase &c : cases) {
        SCOPED_TRACE(c.flags);
        shell.calls.clear();
        dialog.setflags(c.flags);
        dialog.ShowRun();
        dialog.ShowRestart();
        dialog.ShowObjectProp("Lab", "General");
        dialog.ShowFolder();
        ASSERT_EQ(shell.calls.size(), 4u);
        EXPECT_EQ(shell.calls[0], std::string("run|0|0|||") + c.run);
        EXPECT_EQ(shell.calls[1], std::string("restart|0||") + c.restart);
        EXPECT_EQ(shell.calls[2], c.object);
        EXPECT_EQ(shell.calls[3], std::string("chooseFolder|0|||") + c.folder);
    }
}

// The icon picker: nothing for a path ending in the separator; the stored IconSize, unrepaired,
// picks the large or the small image; FileName is the same afterwards.
TEST_F(CdlgExTest, TheIconPickerTakesTheImageTheStoredSizeNames)
{
    dialog.setFileName("/usr/share/icons/");
    dialog.ShowIcon();
    EXPECT_TRUE(shell.calls.empty());
    dialog.setFileName(QString(261, QLatin1Char('x')));
    EXPECT_THROW(dialog.ShowIcon(), std::invalid_argument);
    EXPECT_TRUE(shell.calls.empty());

    dialog.setFileName("/opt/icons.ico");
    shell.pickAnswer = IconPick{"/opt/chosen.ico" + QString(245, QChar(u'\0')), 3};
    dialog.ShowIcon(); // a new instance's stored 0: the small image
    EXPECT_EQ(shell.pickedFrom.path, "/opt/icons.ico" + QString(246, QChar(u'\0')));
    EXPECT_EQ(shell.calls,
              (std::vector<std::string>{"pickIcon|0", "extractIcon|/opt/chosen.ico|3",
                                        "copyIcon|12", "destroyIcon|11", "destroyIcon|12"}));
    EXPECT_EQ(dialog.hIcon(), 1012);
    EXPECT_EQ(dialog.FileName(), "/opt/icons.ico");
    for (const auto &[size, copied] : {std::pair{32, "copyIcon|11"}, {16, "copyIcon|12"}}) {
        shell.calls.clear();
        dialog.setIconSize(size);
        dialog.ShowIcon();
        EXPECT_EQ(shell.calls[2], copied);
    }
    // Cancelled, or a file without icons: hIcon stays.
    shell.extracted.count = 0;
    dialog.ShowIcon();
    shell.pickAnswer.reset();
    dialog.ShowIcon();
    EXPECT_EQ(dialog.hIcon(), 1012);
}

TEST_F(CdlgExTest, AboutHelpFolderAndFormatPassTheirPropertiesOn)
{
    dialog.ShowAbout();
    EXPECT_EQ(dialog.AppName(), QString(1, QChar(u'\0')));
    dialog.ShowHelp();
    EXPECT_EQ(shell.calls, (std::vector<std::string>{"about|0|\\0||0", "help|0||0|0"}));

    shell.folderAnswer = "/home/me/notes";
    dialog.setInitDir("/home/me");
    EXPECT_EQ(dialog.ShowFolder(), "");
    EXPECT_EQ(dialog.InitDir(), "/home/me/notes");
    shell.folderAnswer.reset();
    dialog.ShowFolder();
    EXPECT_EQ(dialog.InitDir(), "/home/me/notes");
    EXPECT_EQ(dialog.ShowFormat(1, 2, 3), -3);
    EXPECT_EQ(shell.calls.back(), "format|0|1|2|3");
}

// Every Action number opens its dialog, and only that one.
TEST_F(CdlgExTest, EachActionNumberOpensItsDialog)
{
    printers.printers = {{"Lab", "drv", "lp0"}};
    const std::pair<int, const char *> actions[] = {
        {6, "help"},      {7, "about"},    {8, "chooseFolder"}, {9, "format|0|0|0|0"},
        {10, "pickIcon"}, {12, "restart"}, {13, "run"},         {14, "shutDown"}};
    for (const auto &[action, call] : actions) {
        shell.calls.clear();
        dialog.setAction(action);
        ASSERT_EQ(shell.calls.size(), 1u) << action;
        EXPECT_EQ(shell.calls[0].rfind(call, 0), 0u) << action << ": " << shell.calls[0];
    }
    shell.calls.clear();
    dialog.ShowFindFiles();
    EXPECT_EQ(shell.calls, std::vector<std::string>{"findFiles"});
}

} // namespace
} // namespace quillet::test
