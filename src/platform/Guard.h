#pragma once

#include "platform/MessageBoxes.h"

#include <QString>

#include <exception>
#include <utility>

class QWidget;

namespace quillet {

// Shows an error that escaped an event handler: a box titled "Quillet" with its text.
void reportUnhandled(MessageBoxes &boxes, QWidget *owner, const QString &text);

// Runs one event handler. An exception that escapes it ends the handler at the failing step;
// what was written before stays written, the user sees the error, and the program goes on.
// Nothing is ever thrown through the toolkit's event loop.
template <class Handler>
void guarded(MessageBoxes &boxes, QWidget *owner, Handler &&handler) noexcept
{
    try {
        std::forward<Handler>(handler)();
    } catch (const std::exception &error) {
        reportUnhandled(boxes, owner, QString::fromUtf8(error.what()));
    } catch (...) {
        reportUnhandled(boxes, owner, QStringLiteral("An unexpected error occurred."));
    }
}

} // namespace quillet
