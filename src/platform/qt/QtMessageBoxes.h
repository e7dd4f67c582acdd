#pragma once

#include "platform/MessageBoxes.h"

namespace quillet {

// The desktop's own message boxes.
class QtMessageBoxes : public MessageBoxes
{
public:
    Answer ask(QWidget *owner, const QString &title, const QString &text, Buttons buttons,
               Icon icon) override;
};

} // namespace quillet
