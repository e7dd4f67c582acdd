#include "platform/Guard.h"

namespace quillet {

void reportUnhandled(MessageBoxes &boxes, QWidget *owner, const QString &text)
{
    // Showing the box must not throw out of a handler either.
    try {
        boxes.inform(owner, QStringLiteral("Quillet"), text, MessageBoxes::Icon::Critical);
    } catch (...) {
    }
}

} // namespace quillet
