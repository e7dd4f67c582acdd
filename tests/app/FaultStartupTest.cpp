#include "app/DamageCheckAndBackup.h"
#include "app/MDIForm1.h"
#include "app/Startup.h"
#include "notes/Form3.h"
#include "session/NotesSession.h"
#include "support/FakeMessageBoxes.h"
#include "support/NotesControls.h"
#include "support/TestDatabase.h"

#include <QCheckBox>
#include <QDir>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <fstream>
#include <sys/mount.h>
#include <unistd.h>

namespace quillet::test {
namespace {

class FaultStartupTest : public testing::Test
{
protected:
    std::unique_ptr<MDIForm1> start()
    {
        return openMainWindow(platform, session, QString::fromStdString(path),
                              QStringLiteral("/opt/quillet/quillet-db"));
    }

    TempFolder folder;
    std::string path = folder.path("mydata.mdb");
    FakeMessageBoxes boxes;
    Platform platform{boxes};
    NotesSession session;
};

// A folder whose files cannot be written: a read-only file system for root (which may write
// any file whatever its permissions), a folder without write permission for anyone else.
class ReadOnlyPlace
{
public:
    explicit ReadOnlyPlace(const QString &folder)
        : m_folder(folder)
    {
        if (::geteuid() == 0) {
            const QByteArray where = folder.toUtf8();
            if (::mount("tmpfs", where.constData(), "tmpfs", 0, "size=4m") == 0)
                m_mounted = true;
        }
    }
    ~ReadOnlyPlace()
    {
        if (m_mounted)
            ::umount(m_folder.toUtf8().constData());
        else
            QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    // Makes the place read-only once its files are in it; false when that is not possible.
    bool seal()
    {
        const QByteArray where = m_folder.toUtf8();
        if (m_mounted)
            return ::mount("tmpfs", where.constData(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) ==
                   0;
        if (::geteuid() == 0)
            return false;
        return QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::ExeOwner);
    }

private:
    QString m_folder;
    bool m_mounted = false;
};

TEST_F(FaultStartupTest, AReadOnlyDatabaseIsShownAndEveryWriteFailsCleanly)
{
    const QString place = folder.folder() + QStringLiteral("/ro");
    QDir().mkpath(place);
    ReadOnlyPlace readOnly(place);
    path = place.toStdString() + "/mydata.mdb";
    createDatabase(path, {{"A", "Alpha"}, {"B", "Beta"}});
    execSql(path, "UPDATE mynodes SET Keimeno='kept' WHERE Kleidi='A'; "
                  "UPDATE parame SET timilo=1 WHERE ID=5");
    if (!readOnly.seal())
        GTEST_SKIP() << "no way to make a read-only folder here";
    const std::string before = fileBytes(path);

    std::unique_ptr<MDIForm1> window = start();
    ASSERT_TRUE(window);
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_TRUE(boxes.asked[0].text.contains("read-only"));
    EXPECT_TRUE(boxes.asked[0].text.contains("changes cannot be stored"));
    Form3 &notes = *window->form3();
    const NotesControls ui(notes);
    EXPECT_EQ(ui.Text1->toPlainText(), "kept");
    EXPECT_EQ(ui.TreeView1->count(), 2);

    // Clicking into the note and out again, and the close, store nothing and say nothing:
    // nothing was typed. The door asks whether to end without the workspace.
    ui.Text1->setFocus();
    ui.TreeView1->setFocus();
    ui.Check1->setCheckState(Qt::Checked);
    EXPECT_EQ(boxes.asked.size(), 1u);
    int ends = 0;
    platform.endProgram = [&] {
        ++ends;
    };
    boxes.answers = {MessageBoxes::Answer::Yes};
    QTest::mouseClick(control<QToolButton>(notes, "Command8"), Qt::LeftButton);
    ASSERT_EQ(boxes.asked.size(), 2u);
    EXPECT_TRUE(boxes.asked[1].text.contains("End Quillet anyway?"));
    EXPECT_EQ(ends, 1);
    boxes.asked.pop_back();

    // Typing and saving: refused with a message, the text stays.
    ui.Text1->setPlainText("cannot go anywhere");
    ui.Check1->setCheckState(Qt::Checked);
    ASSERT_EQ(boxes.asked.size(), 2u);
    EXPECT_TRUE(boxes.asked[1].text.contains("was NOT stored"));
    EXPECT_EQ(ui.Text1->toPlainText(), "cannot go anywhere");
    EXPECT_TRUE(notes.hasUnsavedText());
    EXPECT_EQ(fileBytes(path), before);

    // Closing: the note and the workspace both fail for one cause, said once, with the
    // recovery file, and no advice to try again as the program ends. The recovery file goes
    // to the home folder, the database's being read-only.
    TempFolder home;
    const QByteArray realHome = qgetenv("HOME");
    qputenv("HOME", home.folder().toUtf8());
    window->close();
    qputenv("HOME", realHome);
    ASSERT_EQ(boxes.asked.size(), 3u);
    const QString closing = boxes.asked[2].text;
    EXPECT_EQ(closing.count("was NOT stored"), 1) << closing.toStdString();
    EXPECT_TRUE(closing.contains(home.folder() + "/mydata.mdb.recovered-A-"));
    EXPECT_TRUE(closing.contains("Which items were open"));
    EXPECT_EQ(closing.count("read-only"), 1) << closing.toStdString();
    EXPECT_FALSE(closing.contains("try again"));
    EXPECT_EQ(fileBytes(path), before);
}

// Typing on a read-only database: the saves at the pauses in typing fail, and so does the
// history. Nothing is said while the user types; leaving the editor says the one thing that
// is true, that the note was not stored.
TEST_F(FaultStartupTest, TypingOnAReadOnlyDatabaseSaysOnlyThatTheNoteWasNotStored)
{
    const QString place = folder.folder() + QStringLiteral("/ro");
    QDir().mkpath(place);
    ReadOnlyPlace readOnly(place);
    path = place.toStdString() + "/mydata.mdb";
    createDatabase(path, {{"A", "Alpha"}, {"B", "Beta"}});
    if (!readOnly.seal())
        GTEST_SKIP() << "no way to make a read-only folder here";
    std::unique_ptr<MDIForm1> window = start();
    ASSERT_TRUE(window);
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    boxes.asked.clear();
    Form3 &notes = *window->form3();
    const NotesControls ui(notes);
    auto *pause = notes.findChild<QTimer *>(QStringLiteral("typingPause"));
    ASSERT_TRUE(pause);

    ui.Text1->setFocus();
    for (const char *words : {"abc", " def"}) {
        QTest::keyClicks(ui.Text1, words);
        ASSERT_TRUE(pause->isActive());
        QSignalSpy paused(pause, &QTimer::timeout);
        ASSERT_TRUE(paused.wait(10000));
        EXPECT_TRUE(boxes.asked.empty()) << boxes.asked.front().text.toStdString();
        EXPECT_TRUE(notes.hasUnsavedText());
    }
    OutlineView &tree = *ui.TreeView1;
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {},
                      tree.visualRect(tree.modelIndexOf(2)).center());
    QCoreApplication::processEvents();
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_TRUE(boxes.asked[0].text.contains("was NOT stored"));
    EXPECT_FALSE(boxes.asked[0].text.contains("stored as always"));
    EXPECT_EQ(ui.Text1->toPlainText(), "abc def");
}

TEST_F(FaultStartupTest, DamageFoundAfterStartUpIsReportedWithTheCheckTool)
{
    createDatabase(path, {{"A", "Alpha"}, {"B", "Beta"}});
    // Damage the key index's page: the outline, read from the table, still loads.
    const int page = std::stoi(querySql(
        path, "SELECT rootpage FROM sqlite_master WHERE name='sqlite_autoindex_mynodes_1'"));
    std::string bytes = fileBytes(path);
    const std::size_t header = static_cast<std::size_t>(page - 1) * 4096;
    ASSERT_LT(header + 8, bytes.size());
    bytes[header + 3] = '\x7f'; // the page claims far more cells than it holds
    bytes[header + 4] = '\x7f';
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << bytes;
    }

    std::unique_ptr<MDIForm1> window = start();
    ASSERT_TRUE(window);
    EXPECT_EQ(NotesControls(*window->form3()).TreeView1->count(), 2);
    const auto damageReported = [&] {
        return std::any_of(boxes.asked.begin(), boxes.asked.end(), [](const auto &asked) {
            return asked.text.contains("quillet-db check");
        });
    };
    EXPECT_FALSE(damageReported());
    window->show();
    window->startDamageCheckAndBackup();
    ASSERT_TRUE(QTest::qWaitFor(damageReported, 20000));
    const QString text = boxes.asked.back().text;
    EXPECT_TRUE(text.contains("is damaged")) << text.toStdString();
    EXPECT_TRUE(text.contains(QString::fromStdString(path)));
    EXPECT_TRUE(text.contains("/opt/quillet/quillet-db check " + QString::fromStdString(path)));
}

TEST_F(FaultStartupTest, ASoundFileRaisesNoDamageReport)
{
    createDatabase(path, {{"A", "Alpha"}});
    std::unique_ptr<MDIForm1> window = start();
    ASSERT_TRUE(window);
    bool finished = false;
    window->startDamageCheckAndBackup();
    auto *check = window->findChild<DamageCheckAndBackup *>();
    ASSERT_TRUE(check);
    // Wait for the check to report, then nothing may have been said.
    QObject::connect(check, &DamageCheckAndBackup::finished,
                     [&](const QString &) { finished = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished; }, 20000));
    EXPECT_TRUE(boxes.asked.empty());
}

} // namespace
} // namespace quillet::test
