#pragma once

#include "notes/NotesLayout.h"

namespace quillet {

// Where the resize handler puts the notes window's stretching controls for a client area of
// the given size, in twips. formWidth and formHeight: the notes window's size before the
// resize, used where the client size cannot be applied.
NotesLayout layoutNotes(float clientWidth, float clientHeight, float formWidth, float formHeight);

} // namespace quillet
