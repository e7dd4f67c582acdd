#include "NotesFixture.h"
#include "support/RecordingFileOperations.h"

#include <QCheckBox>
#include <QDir>
#include <QSignalSpy>
#include <QToolButton>

#include <algorithm>
#include <sys/stat.h>

namespace quillet::test {
namespace {

// A typed note is never replaced unsaved: when a save fails, the selection stays on the item
// being edited and the editor keeps the text until a save succeeds.
class UnsavedTextTest : public NotesFixture
{
protected:
    void SetUp() override
    {
        load({{"A", "Alpha"}, {"B", "Beta"}});
        execSql(path, "UPDATE mynodes SET Keimeno='alpha note' WHERE Kleidi='A'");
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        ui().Text2->setText("2");
        // B's row goes away behind the window's back: every save of B's note now fails.
        execSql(path, "DELETE FROM mynodes WHERE Kleidi='B'");
        ui().Text1->setFocus();
        QTest::keyClicks(ui().Text1, "precious words");
    }

    void clickNode(int index)
    {
        OutlineView &tree = *ui().TreeView1;
        const QRect rect = tree.visualRect(tree.modelIndexOf(index));
        QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, rect.center());
        QCoreApplication::processEvents();
    }

    void expectTextKeptOnB()
    {
        EXPECT_EQ(selectionOf(*form).Key, "B");
        EXPECT_EQ(ui().TreeView1->selectedIndex(), 2);
        EXPECT_EQ(ui().Text1->toPlainText(), "precious words");
        EXPECT_TRUE(form->hasUnsavedText());
    }
};

TEST_F(UnsavedTextTest, ClickingAnotherItemKeepsTheTextAndSaysItWasNotStored)
{
    clickNode(1);
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_TRUE(boxes.asked[0].text.contains("was NOT stored"))
        << boxes.asked[0].text.toStdString();
    EXPECT_TRUE(boxes.asked[0].text.contains("Beta"));
    expectTextKeptOnB();

    // Still failing: each new attempt says so once and keeps the text.
    clickNode(1);
    EXPECT_EQ(boxes.asked.size(), 2u);
    expectTextKeptOnB();

    // Once the row is back, the next click stores the text, then moves on.
    execSql(path, "INSERT INTO mynodes (Kleidi, MyText) VALUES ('B', 'Beta')");
    clickNode(1);
    EXPECT_EQ(boxes.asked.size(), 2u);
    EXPECT_EQ(querySql(path, "SELECT Keimeno FROM mynodes WHERE Kleidi='B'"), "precious words");
    EXPECT_EQ(selectionOf(*form).Key, "A");
    EXPECT_EQ(ui().Text1->toPlainText(), "alpha note");
    EXPECT_FALSE(form->hasUnsavedText());
}

// A save after a pause in typing that fails shows nothing while the user types; leaving the
// editor then says so, as any failed save does.
TEST_F(UnsavedTextTest, AFailedSaveWhileTypingIsSaidOnlyWhenTheEditorIsLeft)
{
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->hasUnsavedText(); }, 10000));
    EXPECT_TRUE(boxes.asked.empty());
    clickNode(1);
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_TRUE(boxes.asked[0].text.contains("was NOT stored"));
    expectTextKeptOnB();
}

// A press that takes the focus from the editor meets the failure; the button acts on release.
// The failure is said after that, so that its box does not swallow the click.
TEST_F(UnsavedTextTest, AFailureMetByAPressIsSaidAfterTheRelease)
{
    QTest::mousePress(ui().Command4, Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_TRUE(boxes.asked.empty());
    QTest::mouseRelease(ui().Command4, Qt::LeftButton);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_TRUE(boxes.asked[0].text.contains("was NOT stored"));
    expectTextKeptOnB();
}

TEST_F(UnsavedTextTest, CommandsDoNotReplaceUnsavedText)
{
    QTest::mouseClick(ui().Command4, Qt::LeftButton);
    QCoreApplication::processEvents();
    QTest::mouseClick(ui().Command1, Qt::LeftButton);
    QTest::mouseClick(ui().Command5, Qt::LeftButton);
    QCoreApplication::processEvents();
    for (const auto &asked : boxes.asked) {
        EXPECT_NE(asked.title, "Attention");
        EXPECT_TRUE(asked.text.contains("was NOT stored"));
    }
    EXPECT_EQ(querySql(path, "SELECT count(*) FROM mynodes"), "1");
    expectTextKeptOnB();
}

TEST_F(UnsavedTextTest, ClosingWritesTheTextToARecoveryFileBesideTheDatabase)
{
    // The recovery file holds a note: it is as private as the database, whatever the umask.
    const mode_t umask = ::umask(022);
    ::chmod(path.c_str(), 0600);
    const std::optional<NoteKeptAside> kept = form->saveBeforeClosing();
    ASSERT_TRUE(kept);
    const QString failure = kept->what;
    ::umask(umask);
    // The close says it, with whatever else fails while closing.
    EXPECT_TRUE(boxes.asked.empty());
    const QStringList files =
        QDir(folder.folder()).entryList({QStringLiteral("mydata.mdb.recovered-B-*.txt")});
    ASSERT_EQ(files.size(), 1);
    EXPECT_TRUE(failure.contains(files[0])) << failure.toStdString();
    EXPECT_TRUE(failure.contains("was NOT stored"));
    EXPECT_FALSE(failure.contains("when you leave the editor"));
    QFile file(folder.folder() + QLatin1Char('/') + files[0]);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(file.readAll()), "precious words");
    EXPECT_EQ(file.permissions() & ~QFile::Permissions(QFile::ReadUser | QFile::WriteUser),
              QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_EQ(ui().Check1->checkState(), Qt::Unchecked);
}

// The door, pressed again while the note still cannot be stored, writes no second recovery
// file with the same text; a text changed since is written to one of its own.
TEST_F(UnsavedTextTest, TheDoorWritesOneRecoveryFilePerText)
{
    RecordingFileOperations files(folder.folder().toStdString());
    const auto recoveryFilesMade = [&] {
        return std::count_if(files.calls().begin(), files.calls().end(), [](const auto &call) {
            return call.starts_with("create ") && call.find(".recovered-B-") != std::string::npos;
        });
    };
    QSignalSpy door(form.get(), &Form3::storeAndQuitRequested);
    for (int press = 0; press < 3; ++press)
        QTest::mouseClick(control<QToolButton>(*form, "Command8"), Qt::LeftButton);
    ASSERT_EQ(door.size(), 3);
    EXPECT_EQ(recoveryFilesMade(), 1);
    EXPECT_EQ(door[2][0].toString(), door[0][0].toString());
    EXPECT_TRUE(door[0][0].toString().contains("mydata.mdb.recovered-B-"))
        << door[0][0].toString().toStdString();
    // The close, with the same text, names the same file.
    const std::optional<NoteKeptAside> kept = form->saveBeforeClosing();
    ASSERT_TRUE(kept);
    EXPECT_TRUE(door[0][0].toString().startsWith(kept->what));
    EXPECT_EQ(recoveryFilesMade(), 1);

    ui().Text1->setFocus();
    QTest::keyClicks(ui().Text1, " and more");
    QTest::mouseClick(control<QToolButton>(*form, "Command8"), Qt::LeftButton);
    EXPECT_EQ(recoveryFilesMade(), 2);
}

} // namespace
} // namespace quillet::test
