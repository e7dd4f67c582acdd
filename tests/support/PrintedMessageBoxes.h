#pragma once

#include "platform/MessageBoxes.h"

#include <cstdio>

namespace quillet::test {

// For the helper programs the tests start: nobody answers a box there, so each one is written
// to the error output and acknowledged.
class PrintedMessageBoxes : public MessageBoxes
{
public:
    Answer ask(QWidget *, const QString &title, const QString &text, Buttons, Icon) override
    {
        std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
        return Answer::Yes;
    }
};

} // namespace quillet::test
