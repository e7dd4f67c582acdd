#pragma once

#include <QIcon>

#include <functional>

namespace quillet {

// An icon made the first time it is drawn or measured, by make. Reading and decoding a
// picture, and loading the toolkit's reader for its format, then waits until the window is on
// the screen instead of holding up its showing. The icon counts as present until made.
QIcon deferredIcon(std::function<QIcon()> make);

} // namespace quillet
