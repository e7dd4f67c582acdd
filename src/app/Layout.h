#pragma once

#include "notes/NotesLayout.h"

#include <QList>
#include <QRect>

namespace quillet {

// Where the resize handler puts the notes window's stretching controls for a client area of
// the given size, in twips. formWidth and formHeight: the notes window's size before the
// resize, used where the client size cannot be applied.
NotesLayout layoutNotes(float clientWidth, float clientHeight, float formWidth, float formHeight);

// Where the main window opens, from its stored outer rectangle in pixels, so that it is
// usable on the screens there are now (their available areas, the primary first): a width or
// height below minimum gives defaultSize; the window is no larger than the screen that shows
// most of it; a window on no screen goes to the primary screen's top-left, and one less than a
// quarter visible, or cut to its screen's size, is moved fully onto that screen.
QRect fitWindow(QRect stored, QSize minimum, QSize defaultSize, const QList<QRect> &screens);

} // namespace quillet
