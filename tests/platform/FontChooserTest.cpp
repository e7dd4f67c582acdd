#include "platform/qt/FontChooserDialog.h"
#include "platform/qt/QtChoosers.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace quillet::test {
namespace {

QString someFamily()
{
    const QStringList families = QFontDatabase::families();
    return families.contains("DejaVu Sans") ? QStringLiteral("DejaVu Sans") : families.value(0);
}

TEST(FontChooserTest, TheChoiceGoesInAndComesBackWithTheSample)
{
    FontChooserDialog chooser;
    QFont start(someFamily());
    start.setPointSizeF(14);
    start.setItalic(true);
    chooser.setChoice(start, QColor(200, 0, 0));
    const QFont chosen = chooser.chosenFont();
    EXPECT_EQ(chosen.family(), someFamily());
    EXPECT_DOUBLE_EQ(chosen.pointSizeF(), 14);
    EXPECT_TRUE(chosen.italic());
    EXPECT_FALSE(chosen.bold());
    EXPECT_EQ(chooser.chosenColor(), QColor(200, 0, 0));
    auto *sample = chooser.findChild<QLabel *>("sample");
    ASSERT_TRUE(sample);
    EXPECT_TRUE(sample->font().italic());
    EXPECT_EQ(sample->palette().color(QPalette::WindowText), QColor(200, 0, 0));
}

// A face that is not installed is shown in another family: the chooser starts there, and OK
// without a change answers that family by its plain name, never with a foundry.
TEST(FontChooserTest, TheChooserStartsOnTheFamilyTheEditorShows)
{
    QtChoosers choosers;
    FontRequest request;
    const QByteArray face("Courier New");
    std::copy(face.begin(), face.end(), request.font.faceName.begin());
    request.pointSize = 100;
    const QString shown = QFontInfo(QFont(QStringLiteral("Courier New"))).family();
    QTimer::singleShot(0, [] {
        auto *chooser = qobject_cast<FontChooserDialog *>(QApplication::activeModalWidget());
        ASSERT_TRUE(chooser);
        chooser->accept();
    });
    const FontResult result = choosers.chooseFont(request);
    ASSERT_TRUE(result.confirmed);
    EXPECT_EQ(result.font.face(), FontChooserDialog::plainFamily(shown));
    EXPECT_FALSE(result.font.face().contains('['));
    EXPECT_EQ(choosers.realisedFace(result.font), result.font.face());

    EXPECT_EQ(FontChooserDialog::plainFamily("C059 [UKWN]"), "C059");
    EXPECT_EQ(FontChooserDialog::plainFamily("Noto [Sans] Mono"), "Noto [Sans] Mono");
}

// A large size does not make the chooser larger: the sample clips what it shows.
TEST(FontChooserTest, ALargeSizeKeepsTheChooserItsSize)
{
    FontChooserDialog chooser;
    chooser.setChoice(QFont(someFamily(), 10), Qt::black);
    const QSize usual = chooser.sizeHint();
    chooser.setChoice(QFont(someFamily(), 200), Qt::black);
    EXPECT_EQ(chooser.sizeHint(), usual);
}

// Everything can be done from the keyboard: mnemonics reach each field, a size can be typed,
// Enter confirms.
TEST(FontChooserTest, KeyboardAloneChoosesSizeAndBold)
{
    FontChooserDialog chooser;
    chooser.setChoice(QFont(someFamily(), 10), Qt::black);
    chooser.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&chooser));
    // Mnemonics go through the window, as a key press from the keyboard does.
    QTest::keyClick(chooser.windowHandle(), Qt::Key_S, Qt::AltModifier);
    auto *size = chooser.findChild<QComboBox *>("size");
    ASSERT_TRUE(size);
    EXPECT_TRUE(size->hasFocus());
    QTest::keyClick(size->lineEdit(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(size->lineEdit(), "10.5");
    QTest::keyClick(chooser.windowHandle(), Qt::Key_B, Qt::AltModifier);
    // A mnemonic presses its button the way a click does, shown for a moment first.
    EXPECT_TRUE(QTest::qWaitFor([&] { return chooser.chosenFont().bold(); }, 5000));
    EXPECT_DOUBLE_EQ(chooser.chosenFont().pointSizeF(), 10.5);
    QTest::keyClick(size->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(chooser.result(), QDialog::Accepted);
}

// The real chooser, driven as the user would: its answer carries the size in tenths, the
// bold bit and the colour as stored.
TEST(FontChooserTest, TheDesktopChooserAnswersInRequestTerms)
{
    QtChoosers choosers;
    FontRequest request;
    const QByteArray face = someFamily().toUtf8();
    std::copy(face.begin(), face.end(), request.font.faceName.begin());
    request.pointSize = 120;
    request.color = 0x0000FF;
    QTimer::singleShot(0, [] {
        auto *chooser = qobject_cast<FontChooserDialog *>(QApplication::activeModalWidget());
        ASSERT_TRUE(chooser);
        chooser->findChild<QCheckBox *>()->setChecked(true); // bold comes first
        chooser->accept();
    });
    const FontResult result = choosers.chooseFont(request);
    EXPECT_TRUE(result.confirmed);
    EXPECT_EQ(result.pointSize, 120);
    EXPECT_EQ(result.color, 0x0000FF);
    EXPECT_TRUE(result.fontType & 0x100);
    EXPECT_EQ(result.font.face(), someFamily());

    QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
    EXPECT_FALSE(choosers.chooseFont(request).confirmed);
}

// The sample has its room above the buttons, and Enter confirms the chooser also after the
// colour dialog, whose button keeps the focus when it closes.
TEST(FontChooserTest, TheSampleSitsAboveTheButtonsAndEnterConfirmsAfterTheColour)
{
    FontChooserDialog chooser;
    chooser.setChoice(QFont(someFamily()), QColor(200, 0, 0));
    chooser.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&chooser));
    const auto *sample = chooser.findChild<QLabel *>("sample");
    const auto *ok = chooser.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok);
    EXPECT_LE(sample->mapTo(&chooser, QPoint(0, sample->height())).y(),
              ok->mapTo(&chooser, QPoint(0, 0)).y());

    int colourDialogs = 0;
    const auto closeColourDialogs = [&] {
        if (auto *dialog = qobject_cast<QColorDialog *>(QApplication::activeModalWidget())) {
            ++colourDialogs;
            dialog->accept();
        }
    };
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, closeColourDialogs);
    closer.start(10);
    auto *colour = chooser.findChild<QPushButton *>("color");
    colour->setFocus();
    QTest::keyClick(colour, Qt::Key_Space);
    ASSERT_TRUE(QTest::qWaitFor([&] { return colourDialogs == 1; }, 5000));
    QTest::keyClick(colour, Qt::Key_Return);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !chooser.isVisible(); }, 5000));
    EXPECT_EQ(chooser.result(), QDialog::Accepted);
    EXPECT_EQ(colourDialogs, 1);
}

} // namespace
} // namespace quillet::test
