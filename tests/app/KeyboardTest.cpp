#include "app/MDIForm1.h"
#include "app/Startup.h"
#include "notes/NotesSession.h"
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

} // namespace
} // namespace quillet::test
