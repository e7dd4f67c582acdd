#include "app/Program.h"
#include "packaging/BuildInfo.h"
#include "platform/qt/QtMessageBoxes.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    quillet::QtMessageBoxes messageBoxes;
    return quillet::runProgram(quillet::build::kPerUserNotes ? quillet::NotesPlace::UserDataFolder
                                                             : quillet::NotesPlace::ProgramFolder,
                               messageBoxes);
}
