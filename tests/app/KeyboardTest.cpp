#include "app/MDIForm1.h"
#include "app/Startup.h"
#include "session/NotesSession.h"
#include "support/FakeMessageBoxes.h"
#include "support/NotesControls.h"
#include "support/TestDatabase.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

namespace quillet::test {
namespace {

// The keyboard in the whole main window, where the window's own keys could take what the
// notes window's controls expect.
class KeyboardTest : public testing::Test
{
protected:
    void SetUp() override
    {
        createDatabase(path, {{"A", "Alpha"}, {"B", "Beta"}, {"B1", "b1"}});
        execSql(path, "UPDATE parame SET timilo=2 WHERE ID=5");
        window = openMainWindow(platform, session, QString::fromStdString(path),
                                QStringLiteral("quillet-db"));
        ASSERT_TRUE(window);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    NotesControls ui() const { return NotesControls(*window->form3()); }

    TempFolder folder;
    std::string path = folder.path("mydata.mdb");
    FakeMessageBoxes boxes;
    Platform platform{boxes};
    NotesSession session;
    std::unique_ptr<MDIForm1> window;
};

TEST_F(KeyboardTest, CtrlTabTypesATabInTheNote)
{
    ui().Text1->setFocus();
    QTest::keyClicks(ui().Text1, "a");
    QTest::keyClick(ui().Text1, Qt::Key_Tab, Qt::ControlModifier);
    QTest::keyClicks(ui().Text1, "b");
    EXPECT_EQ(ui().Text1->toPlainText(), "a\tb");
    EXPECT_EQ(QApplication::focusWidget(), ui().Text1);
}

// A key presses its button, which takes the focus so that the typed text is stored; when the
// command ends the focus is back where it was, or on the outline at a new selection, and the
// next key works there.
TEST_F(KeyboardTest, AfterEachKeyTheFocusIsWhereTheNextKeyWorks)
{
    NotesControls controls = ui();
    OutlineView &outline = *controls.TreeView1;
    const auto key = [](QWidget *where, Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) {
        QTest::keyClick(where, k, m);
        QCoreApplication::processEvents();
    };

    // Insert, answered No: back on the outline; Delete there asks about the selected item.
    outline.setFocus();
    boxes.answers = {MessageBoxes::Answer::No};
    key(&outline, Qt::Key_Insert);
    EXPECT_EQ(QApplication::focusWidget(), &outline);
    boxes.answers = {MessageBoxes::Answer::No};
    key(&outline, Qt::Key_Delete);
    ASSERT_EQ(boxes.asked.size(), 2u);
    EXPECT_TRUE(boxes.asked[1].text.startsWith("Delete item"));
    EXPECT_EQ(QApplication::focusWidget(), &outline);

    // Insert from the editor, answered Yes: the outline has the focus, on the new item.
    controls.Text1->setFocus();
    QTest::keyClicks(controls.Text1, "note");
    boxes.answers = {MessageBoxes::Answer::Yes};
    key(controls.Text1, Qt::Key_Insert);
    EXPECT_EQ(QApplication::focusWidget(), &outline);
    EXPECT_EQ(selectionOf(*window->form3()).Index, "4");
    EXPECT_EQ(querySql(path, "SELECT Keimeno FROM mynodes WHERE Kleidi='B'"), "note");

    // Ctrl+F from the editor, then Escape: typing goes on in the editor.
    controls.Text1->setFocus();
    key(controls.Text1, Qt::Key_F, Qt::ControlModifier);
    QWidget *find = QApplication::activeWindow();
    ASSERT_NE(find, window.get());
    key(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_FALSE(find->isVisible());
    // The desktop gives the main window back its activation, and with it its focus.
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    EXPECT_EQ(QApplication::focusWidget(), controls.Text1);
    QTest::keyClicks(QApplication::focusWidget(), " more");
    EXPECT_TRUE(controls.Text1->toPlainText().endsWith(" more"));
}

} // namespace
} // namespace quillet::test
