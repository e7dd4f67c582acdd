#include "app/Program.h"
#include "app/ProgramOptions.h"
#include "packaging/BuildInfo.h"
#include "platform/qt/QtMessageBoxes.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    // Help, the version and a line not understood are answered before the application object
    // is made: they need no display, and no folder or file is touched.
    const quillet::OptionsAnswer options =
        quillet::answerOptions(argc, argv, quillet::build::kVersion);
    if (!options.run) {
        std::fputs(options.out.c_str(), stdout);
        std::fputs(options.err.c_str(), stderr);
        return options.status;
    }
    QApplication app(argc, argv);
    quillet::QtMessageBoxes messageBoxes;
    return quillet::runProgram(quillet::build::kPerUserNotes ? quillet::NotesPlace::UserDataFolder
                                                             : quillet::NotesPlace::ProgramFolder,
                               messageBoxes);
}
