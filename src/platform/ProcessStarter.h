#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// Starting programs from command lines, without waiting for them.
namespace quillet::processes {

// How a line is started: as a program with its arguments, or through /bin/sh -c when it uses
// what only a shell understands (pipes, redirections, variables, wildcards, single quotes,
// escapes, several commands).
struct Launch
{
    QString program;
    QStringList arguments;
};
Launch launchFor(const QString &line);

// Starts the line in folder (the current one when empty) without waiting for it. Returns
// empty text, or why it could not start.
QString startDetached(const QString &line, const QString &folder = {});

// Starts the first of the programs, each with its arguments, that is installed (found on the
// PATH). False when none is.
bool startFirstInstalled(const std::vector<QStringList> &candidates);

} // namespace quillet::processes
