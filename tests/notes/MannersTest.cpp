#include "NotesFixture.h"

#include <QAccessible>
#include <QGroupBox>
#include <QScrollBar>
#include <QTextDocumentFragment>

namespace quillet::test {
namespace {

class MannersTest : public NotesFixture
{
protected:
    Form3 &open()
    {
        load({{"A", "Alpha", true}, {"A1", "One"}, {"B", "Beta"}});
        form->show();
        form->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
        ui().Text2->setText("2");
        return *form;
    }
    QAbstractButton *button(const char *name) { return control<QAbstractButton>(*form, name); }
};

// Each key runs its button's handler, confirmation included; the text being typed is stored
// first, as with a click.
TEST_F(MannersTest, KeysRunTheirButtonsHandlers)
{
    open();
    ui().Text1->setFocus();
    QTest::keyClicks(ui().Text1, "typed");
    struct KeyCase
    {
        QWidget *where;
        int key;
        Qt::KeyboardModifiers modifiers;
        const char *asked;
    };
    const KeyCase cases[] = {
        {ui().Text1, Qt::Key_Insert, Qt::NoModifier, "Add New Item in : "},
        {ui().Text1, Qt::Key_Insert, Qt::ControlModifier, "Add New Subitem in : "},
        {ui().TreeView1, Qt::Key_Delete, Qt::NoModifier, "Delete item : "},
    };
    for (const KeyCase &c : cases) {
        boxes.answers.push_back(MessageBoxes::Answer::No);
        c.where->setFocus();
        QTest::keyClick(c.where, static_cast<Qt::Key>(c.key), c.modifiers);
        ASSERT_FALSE(boxes.asked.empty()) << c.asked;
        EXPECT_TRUE(boxes.asked.back().text.startsWith(c.asked)) << c.asked;
    }
    EXPECT_EQ(boxes.asked.size(), 3u);
    EXPECT_EQ(querySql(path, "SELECT Keimeno FROM mynodes WHERE Kleidi='A1'"), "typed");
}

// Tab leaves the editor for the buttons, left to right; Ctrl+Tab types a tab; Enter presses
// the focused button.
TEST_F(MannersTest, TheKeyboardReachesEveryButton)
{
    open();
    ui().Text1->setFocus();
    ui().Text1->setPlainText(QString());
    QTest::keyClick(ui().Text1, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(ui().Text1->toPlainText(), "\t");
    QTest::keyClick(ui().Text1, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), ui().Command4);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), ui().Command1);
    // Past the delete button, the cogwheels (no action) are skipped.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), button("Command7"));
    ui().Command1->setFocus();
    boxes.answers.push_back(MessageBoxes::Answer::No);
    QTest::keyClick(ui().Command1, Qt::Key_Return);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !boxes.asked.empty(); }, 5000));
    EXPECT_TRUE(boxes.asked.back().text.startsWith("Add New Subitem"));
}

TEST_F(MannersTest, ButtonsWithAnActionSayItAndTheHiddenPanelIsHidden)
{
    open();
    const std::pair<const char *, const char *> named[] = {
        {"Command4", "Add an item (Insert)"},
        {"Command1", "Add a subitem (Ctrl+Insert)"},
        {"Command5", "Delete the item (Delete)"},
        {"Command6", "Cogwheels (no action)"},
        {"Command7", "Find (Ctrl+F)"},
        {"Command8", "Store and quit"},
        {"Command9", "Background colour"},
        {"Command10", "Font"}};
    for (const auto &[name, tip] : named) {
        EXPECT_EQ(button(name)->toolTip(), tip) << name;
        EXPECT_EQ(button(name)->accessibleName(), tip) << name;
    }
    EXPECT_EQ(ui().TreeView1->accessibleName(), "Outline");
    EXPECT_EQ(ui().Text1->accessibleName(), "Note");
    QAccessibleInterface *panel =
        QAccessible::queryAccessibleInterface(control<QGroupBox>(*form, "Frame2"));
    ASSERT_TRUE(panel);
    EXPECT_TRUE(panel->state().invisible);
}

// The path line follows a new title of the selected item or of an item above it; a path
// wider than the line is cut in the middle, with the whole path as its tooltip.
TEST_F(MannersTest, ThePathLineFollowsRenamesAndElidesLongPaths)
{
    open();
    ASSERT_EQ(ui().Label3->text(), "Alpha > One");
    OutlineModel &nodes = ui().TreeView1->nodes();
    nodes.setData(nodes.indexOf(0), QStringLiteral("First"), Qt::EditRole);
    EXPECT_EQ(ui().Label3->text(), "First > One");
    nodes.setData(nodes.indexOf(2), QStringLiteral("Other"), Qt::EditRole);
    EXPECT_EQ(ui().Label3->text(), "First > One");

    const QString longTitle(400, QLatin1Char('w'));
    nodes.setData(nodes.indexOf(1), longTitle, Qt::EditRole);
    EXPECT_TRUE(ui().Label3->text().contains(QChar(0x2026))) << ui().Label3->text().toStdString();
    EXPECT_LE(ui().Label3->fontMetrics().horizontalAdvance(ui().Label3->text()),
              ui().Label3->width());
    EXPECT_EQ(QTextDocumentFragment::fromHtml(ui().Label3->toolTip()).toPlainText().remove('\n'),
              "First > " + longTitle);

    // The outline scrolls sideways to show the long title.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return ui().TreeView1->horizontalScrollBar()->maximum() > 0; }, 5000));
}

} // namespace
} // namespace quillet::test
