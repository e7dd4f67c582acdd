#include "platform/ProcessStarter.h"

#include <QProcess>
#include <QStandardPaths>

namespace quillet::processes {

Launch launchFor(const QString &line)
{
    static const QString kShellOnly = QStringLiteral("|&;<>()$`*?[]{}~'\\\n");
    bool needsShell = false;
    for (const QChar c : line)
        needsShell = needsShell || kShellOnly.contains(c);
    QStringList words = QProcess::splitCommand(line);
    // "NAME=value program": a variable for the program, which only a shell sets.
    if (!words.isEmpty() && words.front().contains(QLatin1Char('=')))
        needsShell = true;
    if (needsShell)
        return {QStringLiteral("/bin/sh"), {QStringLiteral("-c"), line}};
    if (words.isEmpty())
        return {};
    const QString program = words.takeFirst();
    return {program, words};
}

QString startDetached(const QString &line, const QString &folder)
{
    const Launch launch = launchFor(line);
    if (launch.program.isEmpty())
        return QStringLiteral("There is no command to start.");
    QProcess process;
    process.setProgram(launch.program);
    process.setArguments(launch.arguments);
    process.setWorkingDirectory(folder);
    process.setStandardInputFile(QProcess::nullDevice());
    if (!process.startDetached())
        return QStringLiteral("\"%1\" could not be started: %2")
            .arg(launch.program, process.errorString());
    return {};
}

bool startFirstInstalled(const std::vector<QStringList> &candidates)
{
    for (const QStringList &candidate : candidates) {
        if (candidate.isEmpty() || QStandardPaths::findExecutable(candidate.front()).isEmpty())
            continue;
        return QProcess::startDetached(candidate.front(), candidate.mid(1));
    }
    return false;
}

} // namespace quillet::processes
