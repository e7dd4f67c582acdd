#include "app/UserNotes.h"

#include "app/StartupMessages.h"
#include "platform/MessageBoxes.h"
#include "session/NotesSession.h"

#include <QFileInfo>

#include <exception>

namespace quillet {

UserNotesStart prepareUserNotes(MessageBoxes &boxes, const QString &folder)
{
    const QString database = folder + QStringLiteral("/mydata.mdb");
    UserNotesStart made = UserNotesStart::MadeFirst;
    if (QFileInfo::exists(folder)) {
        // A link by the database's name counts even when it points nowhere: opening it says
        // what is missing, and a file made here would not be where the link points.
        const QFileInfo file(database);
        if (file.exists() || file.isSymLink())
            return UserNotesStart::Found;
        if (boxes.ask(nullptr, QStringLiteral("Quillet"),
                      startupMessages::notesMovedAway(database, folder),
                      MessageBoxes::Buttons::YesNoDefaultNo,
                      MessageBoxes::Icon::Warning) != MessageBoxes::Answer::Yes)
            return UserNotesStart::Declined;
        made = UserNotesStart::MadeAgain;
    }
    try {
        NotesSession::makeStarterIn(folder.toStdString(), Welcome::With);
    } catch (const std::exception &error) {
        boxes.inform(nullptr, QStringLiteral("Quillet"),
                     startupMessages::notesNotMade(database, QString::fromUtf8(error.what())),
                     MessageBoxes::Icon::Critical);
        return UserNotesStart::Failed;
    }
    return made;
}

} // namespace quillet
