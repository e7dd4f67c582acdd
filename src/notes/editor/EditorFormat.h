#pragma once

#include "store/NoteStore.h"

#include <QFont>
#include <QString>

#include <cstdint>
#include <optional>

namespace quillet {

// A note's format as the editor shows it: one font, size, bold and italic for the whole note,
// a text colour and a background colour. Colours are as stored, 0x00BBGGRR; a value with the
// top bit set names a system colour, which the editor takes from the desktop's palette.
struct EditorFormat
{
    QString fontName;
    double fontSize = 0; // points
    std::int32_t foreColor = 0;
    std::int32_t backColor = 0;
    bool bold = false;
    bool italic = false;

    bool operator==(const EditorFormat &) const = default;
};

// The largest font size, in points, that the toolkit's fonts take.
inline constexpr double kLargestFontSize = 1638.0;

// True for a size a note can be shown in: above 0 and at most kLargestFontSize.
bool isShowableSize(double points);

// The format of a note that has none stored: Courier New, 10 points, black on white, neither
// bold nor italic.
EditorFormat defaultFormat();

// The format a note is shown in, given its row (nothing when the row is missing) and the
// editor's format before it. A missing row, a stored size of 0 or a size that is not a number
// gives the default format. Otherwise each column applies on its own: a Null or unusable column
// (an empty font name, a size the editor cannot take, a colour beyond 32 bits) keeps that
// property as the editor has it. Font names are trimmed of surrounding spaces.
EditorFormat shownFormat(const std::optional<NoteRow> &row, const EditorFormat &current);

// The font of the format: its family, size (kept as the font has it when the size cannot be
// shown), bold and italic, over the font given.
QFont fontOf(const EditorFormat &format, QFont font = QFont());

// The editor's format as its row stores it.
NoteFormat storedFormat(const EditorFormat &format);

} // namespace quillet
