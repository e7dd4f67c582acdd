#pragma once

namespace quillet {

class MessageBoxes;

// Where the program keeps its notes, decided when it is built (build::kPerUserNotes).
enum class NotesPlace {
    ProgramFolder,  // mydata.mdb beside the program, which never makes it
    UserDataFolder, // the installed program: the user's data folder, made on the first start
};

// The whole program once its application object is made: names it to the desktop, finds the
// notes database, hands over to a copy that has it open already, opens the main window and
// runs until it closes. Every box goes through messageBoxes. Returns the exit status.
int runProgram(NotesPlace place, MessageBoxes &messageBoxes);

} // namespace quillet
