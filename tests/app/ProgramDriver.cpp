// The program as main runs it, for the tests of where it finds its notes: every box is written
// to the error output and answered Yes. Without an argument it is the installed program, which
// keeps the user's notes in the user's data folder; with "folder", the program run from a
// folder, beside its mydata.mdb.

#include "app/Program.h"
#include "support/PrintedMessageBoxes.h"

#include <QApplication>

#include <cstring>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    quillet::test::PrintedMessageBoxes boxes;
    const bool fromFolder = argc == 2 && std::strcmp(argv[1], "folder") == 0;
    return quillet::runProgram(fromFolder ? quillet::NotesPlace::ProgramFolder
                                          : quillet::NotesPlace::UserDataFolder,
                               boxes);
}
