#pragma once

#include "platform/MessageBoxes.h"

#include <QString>

#include <deque>
#include <vector>

namespace quillet::test {

// Records every box the program asks for and answers from a script (Yes when the script is
// empty). Nothing waits for a person.
class FakeMessageBoxes : public MessageBoxes
{
public:
    struct Asked
    {
        QString title;
        QString text;
        Buttons buttons;
        Icon icon;
    };

    Answer ask(QWidget *owner, const QString &title, const QString &text, Buttons buttons,
               Icon icon) override;

    std::deque<Answer> answers;
    std::vector<Asked> asked;
};

} // namespace quillet::test
