#include "app/ProgramOptions.h"

#include "support/TestDatabase.h"

#include <QDir>
#include <QProcess>

#include <gtest/gtest.h>

#include <vector>

namespace quillet::test {
namespace {

// The command line's answers: help and the version on standard output, anything not
// understood on standard error with status 2, and the toolkit's own options let through.
TEST(ProgramOptionsTest, HelpVersionAndUnknownOptionsAreAnsweredAtOnce)
{
    const struct
    {
        std::vector<const char *> arguments;
        bool run;
        int status;
        const char *out;
        const char *err;
    } cases[] = {
        {{}, true, 0, "", ""},
        {{"--help"}, false, 0, "Usage: quillet [--help | --version]", ""},
        {{"-h"}, false, 0, "--version  show the version and end", ""},
        {{"--version"}, false, 0, "quillet 9.8.7\n", ""},
        {{"-style", "fusion", "--version"}, false, 0, "quillet 9.8.7\n", ""},
        {{"-style", "fusion", "-reverse", "--platform=offscreen"}, true, 0, "", ""},
        {{"--bogus"}, false, 2, "", "quillet: unknown option \"--bogus\"\nUsage: quillet"},
        {{"-v"}, false, 2, "", "unknown option \"-v\""},
        {{"notes.mdb"}, false, 2, "", "takes no file or other argument: \"notes.mdb\""},
        // A toolkit option's value is not read as an option of its own.
        {{"-platform", "--bogus"}, true, 0, "", ""},
        {{"-platform=offscreen", "--bogus"}, false, 2, "", "\"--bogus\""},
    };
    for (const auto &c : cases) {
        std::vector<const char *> argv{"quillet"};
        argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
        SCOPED_TRACE(argv.size() > 1 ? argv[1] : "(none)");
        const OptionsAnswer answer =
            answerOptions(static_cast<int>(argv.size()), argv.data(), "9.8.7");
        EXPECT_EQ(answer.run, c.run);
        EXPECT_EQ(answer.status, c.status);
        EXPECT_NE(answer.out.find(c.out), std::string::npos) << answer.out;
        EXPECT_NE(answer.err.find(c.err), std::string::npos) << answer.err;
        EXPECT_EQ(answer.out.empty(), *c.out == '\0');
        EXPECT_EQ(answer.err.empty(), *c.err == '\0');
    }
}

// The real program asked for help, its version or with an option it does not know, with no
// display at all and a fresh home: it answers, and no folder or file is made.
TEST(ProgramOptionsTest, TheProgramAnswersWithoutADisplayAndTouchesNothing)
{
    TempFolder home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_DATA_HOME",
                             "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"})
        environment.remove(QString::fromLatin1(name));
    environment.insert(QStringLiteral("HOME"), home.folder());
    const struct
    {
        const char *option;
        int status;
        const char *said;
    } cases[] = {
        {"--help", 0, "Usage: quillet"},
        {"--version", 0, "quillet "},
        {"--bogus", 2, "unknown option"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.option);
        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(QUILLET_PROGRAM), {QString::fromLatin1(c.option)});
        ASSERT_TRUE(program.waitForFinished(30000));
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), c.status);
        const QByteArray said =
            c.status == 0 ? program.readAllStandardOutput() : program.readAllStandardError();
        EXPECT_TRUE(said.contains(c.said)) << said.toStdString();
        EXPECT_TRUE(
            QDir(home.folder()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
    }
}

} // namespace
} // namespace quillet::test
