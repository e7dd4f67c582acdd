#pragma once

#include "platform/MessageBoxes.h"

#include <QString>

#include <vector>

namespace quillet::bench {

// Message boxes that never wait: each box is recorded and answered at once (Yes, or Ok). A
// measurement during which a box appeared timed an error path and is not reported, except for
// the question a command asks before it acts, which the measurement checks and then forgets.
class RecordingMessageBoxes : public MessageBoxes
{
public:
    Answer ask(QWidget *, const QString &title, const QString &text, Buttons buttons, Icon) override
    {
        m_asked.push_back(title + QStringLiteral(": ") + text);
        return buttons == Buttons::YesNo ? Answer::Yes : Answer::Ok;
    }

    const std::vector<QString> &asked() const { return m_asked; }
    // Drops what was recorded, once it has been checked.
    void forget() { m_asked.clear(); }

private:
    std::vector<QString> m_asked;
};

} // namespace quillet::bench
