#include "notes/HeldNotices.h"

#include "notes/UnsavedText.h"
#include "session/NotesSession.h"

#include <QCoreApplication>

#include <utility>

namespace quillet {

void HeldNotices::takeFrom(NotesSession &session)
{
    const std::string problem = session.takeHistoryProblem();
    if (!problem.empty())
        m_historyProblem = QString::fromStdString(problem);
    const std::string notice = session.takeHistoryNotice();
    if (!notice.empty())
        m_historyNotice = QString::fromStdString(notice);
}

void HeldNotices::sayThrough(UnsavedText &unsaved)
{
    if (!m_spelling.isEmpty())
        unsaved.sayLater(QCoreApplication::translate("Form3", "Spelling: %1")
                             .arg(std::exchange(m_spelling, QString())));
    if (!m_historyNotice.isEmpty())
        unsaved.sayLater(std::exchange(m_historyNotice, QString()));
    if (m_historyProblem.isEmpty())
        return;
    unsaved.sayLater(QCoreApplication::translate(
                         "Form3", "Quillet is not keeping earlier versions of your notes in "
                                  "this session: %1\n\nYour notes are stored as always.")
                         .arg(std::exchange(m_historyProblem, QString())));
}

} // namespace quillet
