#include "support/FakeMessageBoxes.h"

namespace quillet::test {

MessageBoxes::Answer FakeMessageBoxes::ask(QWidget *, const QString &title, const QString &text,
                                           Buttons buttons, Icon icon)
{
    asked.push_back({title, text, buttons, icon});
    if (buttons == Buttons::Ok)
        return Answer::Ok;
    if (answers.empty())
        return Answer::Yes;
    const Answer answer = answers.front();
    answers.pop_front();
    return answer;
}

} // namespace quillet::test
