#pragma once

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <system_error>
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

// While it lives, what the process makes is its owner's alone (umask 077): the notes folder
// and the database made there hold what nobody else is to read, whatever umask the desktop
// session has. The umask is the process's, so this is for start-up, before any other thread
// makes files.
class PrivateFiles
{
public:
    PrivateFiles()
        : m_was(::umask(077))
    {
    }
    ~PrivateFiles() { ::umask(m_was); }
    PrivateFiles(const PrivateFiles &) = delete;
    PrivateFiles &operator=(const PrivateFiles &) = delete;

private:
    mode_t m_was = 0;
};

// Makes the folder, and each missing folder above it, at 0700 (the mode the XDG rules give a
// data folder made for the user), and syncs the folder above each one made: the database made
// inside is synced with its folder, and must not outlast the folder's own name in a power cut.
// Throws std::system_error naming the folder that cannot be made.
inline void makePrivateFolder(const std::string &folder)
{
    struct stat info
    {
    };
    if (::stat(folder.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode))
            return;
        throw std::system_error(ENOTDIR, std::generic_category(),
                                "cannot make the folder " + folder);
    }
    const std::size_t slash = folder.find_last_of('/');
    const std::string parent = slash == std::string::npos ? "."
                               : slash == 0               ? "/"
                                                          : folder.substr(0, slash);
    if (slash != std::string::npos && slash > 0)
        makePrivateFolder(parent);
    const PrivateFiles privately;
    if (::mkdir(folder.c_str(), 0700) != 0) {
        if (errno == EEXIST)
            return; // made meanwhile, by another start
        throw std::system_error(errno, std::generic_category(), "cannot make the folder " + folder);
    }
    const int fd = ::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool synced = fd >= 0 && ::fsync(fd) == 0;
    const int error = errno;
    if (fd >= 0)
        ::close(fd);
    if (!synced)
        throw std::system_error(error, std::generic_category(), "cannot sync the folder " + parent);
}

// How the user's notes database is first made, by the program's first start and by
// quillet-db init: the folder made when missing, then make run with the files it makes the
// user's alone.
template <class Make>
void makeInPrivateFolder(const std::string &folder, Make &&make)
{
    makePrivateFolder(folder);
    const PrivateFiles privately;
    make();
}

} // namespace quillet::installed
