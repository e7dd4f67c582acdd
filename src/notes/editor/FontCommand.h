#pragma once

#include "notes/editor/EditorFormat.h"

#include <cstdint>

namespace quillet {

class CdlgEx;

// The font command's use of the dialog component: the chooser starts on the note's format
// (its size in whole points, halves to even), and the format to apply comes back from the
// component's properties. Each step that fails is skipped and the next one runs: a name too
// long for the chooser, a cancelled chooser; a cancel gives back the format the chooser
// started on, rounded.
EditorFormat chooseFont(CdlgEx &dialog, EditorFormat format, std::int32_t owner);

// The background colour command's use of it: the chooser starts on the note's background. A
// cancel leaves that colour as the answer, so it changes nothing (it used to apply whatever
// colour the last font or colour command left, which could make the text invisible); a colour
// chosen applies, black excepted.
EditorFormat chooseBackground(CdlgEx &dialog, EditorFormat format, std::int32_t owner);

} // namespace quillet
