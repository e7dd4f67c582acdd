#pragma once

#include <cstdlib>
#include <pwd.h>
#include <string>
#include <unistd.h>

// Where the installed program keeps each user's notes: the program and its tool both take their
// default from here, so that they always name the same file. A program run from a folder keeps
// its notes beside itself and uses none of this.
namespace quillet::installed {

// The user's notes folder: quillet in $XDG_DATA_HOME, or in ~/.local/share when that is unset,
// empty or relative (the XDG base directory rules ignore a relative one).
inline std::string userNotesFolder()
{
    const char *data = std::getenv("XDG_DATA_HOME");
    if (data != nullptr && data[0] == '/')
        return std::string(data) + "/quillet";
    std::string home;
    if (const char *variable = std::getenv("HOME"); variable != nullptr && variable[0] != '\0')
        home = variable;
    else if (const passwd *user = ::getpwuid(::getuid()); user != nullptr)
        home = user->pw_dir;
    return home + "/.local/share/quillet";
}

// The user's notes database, before any link is followed.
inline std::string userDatabase()
{
    return userNotesFolder() + "/mydata.mdb";
}

// What quillet-db's usage says of PATH in the installed tool, which takes userDatabase when
// PATH is left out.
inline constexpr const char *kDefaultPathHelp =
    "\n"
    "PATH may be left out: it is then the installed Quillet's notes database,\n"
    "$XDG_DATA_HOME/quillet/mydata.mdb (~/.local/share/quillet/mydata.mdb when XDG_DATA_HOME\n"
    "is not set), which the tool names on its error output.\n";

} // namespace quillet::installed
