#pragma once

#include <QString>

class QWidget;

namespace quillet {

// Modal message boxes. The program asks through this interface so that tests can answer
// with a scripted fake and see what was asked.
class MessageBoxes
{
public:
    // YesNoDefaultNo is for questions where Enter pressed by reflex must not do the harm.
    enum class Buttons { Ok, YesNo, YesNoDefaultNo };
    enum class Icon { None, Information, Warning, Critical };
    enum class Answer { Ok, Yes, No };

    virtual ~MessageBoxes() = default;

    // An empty title shows the application's own name, as a box without a title of its own.
    virtual Answer ask(QWidget *owner, const QString &title, const QString &text, Buttons buttons,
                       Icon icon) = 0;

    void inform(QWidget *owner, const QString &title, const QString &text, Icon icon)
    {
        ask(owner, title, text, Buttons::Ok, icon);
    }
};

} // namespace quillet
