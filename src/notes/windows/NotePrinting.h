#pragma once

#include "notes/editor/EditorFormat.h"
#include "platform/Platform.h"

#include <QString>

class QPrinter;
class QWidget;

namespace quillet {

// Prints a note on as many pages as it takes: each page headed by the note's full path, the
// text below in the note's font, size, colours, bold and italic, wrapped to the page.
void printNote(QPrinter &printer, const QString &header, const QString &text,
               const EditorFormat &format);

// Prints a note through the print dialog, which starts on the program's current printer and
// its settings. Without a printer it says so, and the dialog can still print to a PDF file,
// named after the item's title.
void printThroughDialog(Platform &platform, QWidget *owner, const QString &title,
                        const QString &fullPath, const QString &text, const EditorFormat &format);

// The document's name, which the print dialog offers as the name of a PDF file: the title with
// the characters a file name cannot hold (and those other systems refuse) as "_", no leading
// dot or dash, at most 200 bytes of UTF-8 cut at a character; "note" when nothing is left.
QString printFileName(const QString &title);

} // namespace quillet
