#include "platform/SingleInstance.h"

#include "app/Startup.h"
#include "session/NotesSession.h"
#include "support/FakeMessageBoxes.h"
#include "support/TestDatabase.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

namespace quillet::test {
namespace {

// Runs copies of the real program from a folder of their own, beside their own database,
// with a runtime folder of their own for the instance lock.
class SingleInstanceTest : public testing::Test
{
protected:
    void SetUp() override
    {
        program = folder.folder() + QStringLiteral("/quillet");
        ASSERT_TRUE(QFile::copy(QStringLiteral(QUILLET_PROGRAM), program));
        createDatabase(folder.path("mydata.mdb"), {{"A", "Alpha"}});
        runtime.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeFolder.path());
    }

    void TearDown() override
    {
        for (auto &process : processes) {
            process->kill();
            process->waitForFinished(5000);
        }
    }

    QProcess &launch(const QString &from = {}, const QStringList &arguments = {})
    {
        processes.push_back(std::make_unique<QProcess>());
        QProcess &process = *processes.back();
        process.setProcessEnvironment(environment);
        process.start(from.isEmpty() ? program : from, arguments);
        EXPECT_TRUE(process.waitForStarted(10000));
        return process;
    }

    // Waits, up to a deadline, until the instance lock names this process.
    bool holdsLock(const QProcess &process)
    {
        const QByteArray pid = QByteArray::number(process.processId());
        QDeadlineTimer deadline(20000);
        while (!deadline.hasExpired()) {
            for (const QString &name :
                 QDir(runtimeFolder.path()).entryList({QStringLiteral("quillet-*.lock")})) {
                QFile lock(runtimeFolder.path() + QLatin1Char('/') + name);
                if (lock.open(QIODevice::ReadOnly) && lock.readLine().trimmed() == pid)
                    return true;
            }
            if (process.state() != QProcess::Running)
                return false;
            QThread::msleep(20);
        }
        return false;
    }

    TempFolder folder;
    QTemporaryDir runtimeFolder;
    QFile runtime{runtimeFolder.path()};
    QString program;
    QProcessEnvironment environment;
    std::vector<std::unique_ptr<QProcess>> processes;
};

TEST_F(SingleInstanceTest, SecondStartEndsSilentlyAndAKilledRunDoesNotBlock)
{
    QProcess &first = launch();
    ASSERT_TRUE(holdsLock(first)) << first.readAllStandardError().toStdString();

    QProcess &second = launch();
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);

    // A run killed outright leaves its lock file behind; the next start takes it over.
    first.kill();
    ASSERT_TRUE(first.waitForFinished(10000));
    QProcess &third = launch();
    EXPECT_TRUE(holdsLock(third)) << third.readAllStandardError().toStdString();
    EXPECT_EQ(third.state(), QProcess::Running);
}

// Two program folders whose databases link to one file are one database: the second start
// hands over to the copy that has the file open, ends with status 0 and writes nothing.
TEST_F(SingleInstanceTest, ASecondStartThroughALinkToTheSameFileHandsOver)
{
    TempFolder other;
    const QString linked = other.folder() + QStringLiteral("/quillet");
    ASSERT_TRUE(QFile::copy(program, linked));
    ASSERT_TRUE(QFile::link(folder.folder() + QStringLiteral("/mydata.mdb"),
                            other.folder() + QStringLiteral("/mydata.mdb")));
    QProcess &first = launch();
    ASSERT_TRUE(holdsLock(first)) << first.readAllStandardError().toStdString();
    const std::string before = fileBytes(folder.path("mydata.mdb"));

    QProcess &second = launch(linked);
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);
    EXPECT_EQ(fileBytes(folder.path("mydata.mdb")), before);
    EXPECT_TRUE(QDir(other.folder()).entryList(QDir::Files).contains("mydata.mdb"));
}

// A copy this start cannot reach (another user's, with a runtime folder of its own) holding the
// file: the start says so and ends.
TEST_F(SingleInstanceTest, AFileOpenInACopyOutOfReachIsRefusedWithAMessage)
{
    const std::string path = folder.path("mydata.mdb");
    FakeMessageBoxes boxes;
    EXPECT_FALSE(refuseDatabaseInUse(boxes, QString::fromStdString(path)));
    EXPECT_TRUE(boxes.asked.empty());
    {
        NotesSession elsewhere;
        elsewhere.setPath(path);
        elsewhere.open();
        EXPECT_TRUE(refuseDatabaseInUse(boxes, QString::fromStdString(path)));
    }
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_TRUE(boxes.asked[0].text.contains("is open in another copy of Quillet"));
}

// The installed program keeps each user's notes in one file, so one copy runs for each user.
// The first start makes the notes and says where they are, once; the same user's second start
// hands over, silently; another user's start runs beside it.
TEST_F(SingleInstanceTest, TheInstalledProgramRunsOnceForEachUser)
{
    const QString driver = QStringLiteral(QUILLET_PROGRAM_DRIVER);
    TempFolder firstHome;
    TempFolder secondHome;
    environment.remove(QStringLiteral("XDG_DATA_HOME"));
    environment.insert(QStringLiteral("HOME"), firstHome.folder());
    // The first start's message is said once its window shows, its lock held.
    const auto welcomed = [](QProcess &process) {
        QByteArray said;
        const bool welcome = QTest::qWaitFor(
            [&] {
                said += process.readAllStandardError();
                return said.contains("Welcome to Quillet");
            },
            20000);
        return std::make_pair(welcome, said.toStdString());
    };
    QProcess &first = launch(driver);
    const auto [welcome, said] = welcomed(first);
    EXPECT_TRUE(welcome) << said;
    EXPECT_NE(said.find(firstHome.path(".local/share/quillet/mydata.mdb")), std::string::npos);
    ASSERT_TRUE(holdsLock(first));

    QProcess &again = launch(driver);
    ASSERT_TRUE(again.waitForFinished(20000));
    EXPECT_EQ(again.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(again.exitCode(), 0);
    const QByteArray againSaid = again.readAllStandardError();
    EXPECT_FALSE(againSaid.contains("Quillet: ")) << againSaid.toStdString();
    EXPECT_EQ(first.state(), QProcess::Running);

    environment.insert(QStringLiteral("HOME"), secondHome.folder());
    QProcess &other = launch(driver);
    EXPECT_TRUE(welcomed(other).first);
    EXPECT_TRUE(holdsLock(other));
    EXPECT_EQ(first.state(), QProcess::Running);
}

// Run from a folder, the program keeps its notes beside itself and never makes them: without a
// mydata.mdb there it says how to make one and ends, making nothing, there or in the user's
// folders; with one, it runs on it, and the user's folders stay as they were.
TEST_F(SingleInstanceTest, TheProgramRunFromAFolderNeverMakesItsNotes)
{
    TempFolder programFolder;
    TempFolder home;
    const QString driver = programFolder.folder() + QStringLiteral("/quillet");
    ASSERT_TRUE(QFile::copy(QStringLiteral(QUILLET_PROGRAM_DRIVER), driver));
    environment.insert(QStringLiteral("HOME"), home.folder());
    environment.remove(QStringLiteral("XDG_DATA_HOME"));

    QProcess &missing = launch(driver, {QStringLiteral("folder")});
    ASSERT_TRUE(missing.waitForFinished(20000));
    EXPECT_EQ(missing.exitCode(), 1);
    const QByteArray said = missing.readAllStandardError();
    EXPECT_TRUE(said.contains(programFolder.path("mydata.mdb").c_str())) << said.toStdString();
    EXPECT_TRUE(said.contains(" init ")) << said.toStdString();
    EXPECT_EQ(QDir(programFolder.folder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{"quillet"});

    createDatabase(programFolder.path("mydata.mdb"), {{"A", "Alpha"}});
    QProcess &running = launch(driver, {QStringLiteral("folder")});
    EXPECT_TRUE(holdsLock(running)) << running.readAllStandardError().toStdString();
    EXPECT_EQ(QDir(home.folder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{});
}

// What a second start asks of the running window: a minimised one comes back, a maximised one
// stays maximised, also when it was minimised from maximised.
TEST(BringToFrontTest, AMinimisedWindowComesBackAndAMaximisedOneStaysSo)
{
    QWidget window;
    window.show();
    const std::pair<Qt::WindowStates, Qt::WindowStates> cases[] = {
        {Qt::WindowMinimized, Qt::WindowNoState},
        {Qt::WindowMaximized, Qt::WindowMaximized},
        {Qt::WindowMaximized | Qt::WindowMinimized, Qt::WindowMaximized},
        {Qt::WindowNoState, Qt::WindowNoState},
    };
    for (const auto &[before, after] : cases) {
        window.setWindowState(before);
        bringToFront(window);
        EXPECT_EQ(window.windowState(), after) << before.toInt();
        EXPECT_TRUE(window.isVisible());
    }
}

// A second start asks the running copy to show its window, then ends silently: here the
// running copy is this test, holding the lock for the program's folder.
TEST_F(SingleInstanceTest, ASecondStartBringsTheRunningWindowToTheFront)
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", runtimeFolder.path().toUtf8());
    {
        SingleInstance running(folder.folder() + QStringLiteral("/mydata.mdb"));
        ASSERT_TRUE(running.acquire());
        int asked = 0;
        ASSERT_TRUE(running.listen([&] { ++asked; }));

        const std::string before = fileBytes(folder.path("mydata.mdb"));
        QProcess &second = launch();
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return asked == 1 && second.state() == QProcess::NotRunning; }, 20000));
        EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(second.exitCode(), 0);
        EXPECT_EQ(fileBytes(folder.path("mydata.mdb")), before);
    }
    if (runtime.isNull())
        qunsetenv("XDG_RUNTIME_DIR");
    else
        qputenv("XDG_RUNTIME_DIR", runtime);
}

} // namespace
} // namespace quillet::test
