#pragma once

#include "notes/EditorFormat.h"

#include <QString>

class QPrinter;

namespace quillet {

// Prints a note on as many pages as it takes: each page headed by the note's full path, the
// text below in the note's font, size, colours, bold and italic, wrapped to the page.
void printNote(QPrinter &printer, const QString &header, const QString &text,
               const EditorFormat &format);

} // namespace quillet
