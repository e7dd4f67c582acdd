#include "platform/ProcessStarter.h"

#include "platform/qt/QtShell.h"
#include "platform/qt/RunDialog.h"
#include "support/FakeMessageBoxes.h"

#include <QApplication>
#include <QLineEdit>
#include <QTimer>

#include <gtest/gtest.h>

namespace quillet::test {
namespace {

// A typed line starts as a program with its arguments; only what a shell alone understands
// goes through one.
TEST(ProcessStarterTest, ALineNeedsAShellOnlyForWhatOnlyAShellDoes)
{
    const QString shell = QStringLiteral("/bin/sh");
    const std::pair<QString, processes::Launch> cases[] = {
        {"true", {"true", {}}},
        {"  gedit  notes.txt ", {"gedit", {"notes.txt"}}},
        {"xdg-open \"my notes.txt\"", {"xdg-open", {"my notes.txt"}}},
        {"ls | wc -l", {shell, {"-c", "ls | wc -l"}}},
        {"echo $HOME > out", {shell, {"-c", "echo $HOME > out"}}},
        {"echo 'one two'", {shell, {"-c", "echo 'one two'"}}},
        {"LANG=C date", {shell, {"-c", "LANG=C date"}}},
        {"", {}},
    };
    for (const auto &[line, expected] : cases) {
        const processes::Launch launch = processes::launchFor(line);
        EXPECT_EQ(launch.program, expected.program) << line.toStdString();
        EXPECT_EQ(launch.arguments, expected.arguments) << line.toStdString();
    }
}

TEST(ProcessStarterTest, AProgramThatCannotStartIsSaidNotThrown)
{
    EXPECT_EQ(processes::startDetached("true"), "");
    const QString failure = processes::startDetached("quillet-no-such-program --now");
    EXPECT_TRUE(failure.contains("quillet-no-such-program")) << failure.toStdString();
    EXPECT_FALSE(processes::startDetached("   ").isEmpty());
    EXPECT_FALSE(processes::startFirstInstalled({{"quillet-no-such-program"}}));
    EXPECT_TRUE(processes::startFirstInstalled({{"quillet-no-such-program"}, {"true"}}));
}

// The real run dialog, with harmless lines: what cannot start is said in a message.
TEST(ProcessStarterTest, TheRunDialogStartsTheTypedLine)
{
    FakeMessageBoxes boxes;
    QtShell shell(boxes);
    for (const char *line : {"true", "quillet-no-such-program"}) {
        QTimer::singleShot(0, [line] {
            auto *dialog = qobject_cast<RunDialog *>(QApplication::activeModalWidget());
            ASSERT_TRUE(dialog);
            dialog->findChild<QLineEdit *>("commandLine")->setText(line);
            dialog->accept();
        });
        shell.run(RunRequest{0, 0, "Run", "Type a command", 0});
    }
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_TRUE(boxes.asked[0].text.contains("quillet-no-such-program"));
}

} // namespace
} // namespace quillet::test
