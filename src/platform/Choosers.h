#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

class QPrinter;

namespace quillet {

// The font description passed to and from the font chooser, field for field as the dialog
// component fills it: a cell height in pixels, a weight (700 bold, 0 default), one byte each
// for italic, underline and strike-out, and the face name as bytes ending in NUL.
struct FontRecord
{
    std::int32_t height = 0;
    std::int32_t weight = 0;
    std::uint8_t italic = 0;
    std::uint8_t underline = 0;
    std::uint8_t strikeOut = 0;
    // Room for 32 bytes of name and its NUL; the chooser reads the first 32.
    std::array<char, 33> faceName{};

    QString face() const;
};

// What the font chooser is asked.
struct FontRequest
{
    std::int32_t owner = 0;     // handle of the owner window
    FontRecord font;            // the starting font
    std::int32_t pointSize = 0; // tenths of a point
    std::uint32_t options = 0;  // fixed: screen fonts, start from the record, effects
    std::int32_t color = 0;     // text colour, 0x00BBGGRR
    std::uint32_t fontType = 0; // a screen font
};

// What it answers. confirmed is false when the user cancelled.
struct FontResult
{
    bool confirmed = false;
    FontRecord font;
    std::int32_t pointSize = 0; // tenths of a point
    std::int32_t color = 0;
    std::uint32_t fontType = 0; // 0x100 set for a bold face
};

struct ColorRequest
{
    std::int32_t owner = 0;
    std::int32_t color = 0;                       // 0x00BBGGRR
    std::array<std::uint32_t, 16> customColors{}; // the 16 custom colours offered
    std::uint32_t options = 0;                    // 0x1: start from color
};

struct ColorResult
{
    bool confirmed = false;
    std::int32_t color = 0;
    std::array<std::uint32_t, 16> customColors{};
};

// What the file chooser is asked, field for field as the dialog component fills its request.
// Texts hold NULs where the record has them.
struct FileRequest
{
    bool save = false; // a name to save under, rather than a file to open
    std::int32_t owner = 0;
    QString filter; // descriptions and patterns in turn, each ended by a NUL, then one more NUL
    std::int32_t filterIndex = 0;
    QString file; // the starting path, NULs after it up to fileSize characters
    std::int32_t fileSize = 0;
    QString fileTitle; // fileTitleSize NULs
    std::int32_t fileTitleSize = 0;
    QString initialFolder;
    QString title;
    std::uint32_t options = 0;
    QString defaultExt;
};

// What it answers: the two buffers as the chooser left them. confirmed is false when the user
// cancelled or the chooser failed.
struct FileResult
{
    bool confirmed = false;
    QString file;      // the chosen full path, then NULs
    QString fileTitle; // the chosen name without its folder, then NULs
};

// What the print dialog is asked: the device-mode and device-names records of PrinterRecords.h
// describe the current printer.
struct PrintRequest
{
    std::int32_t owner = 0;
    std::int32_t displayContext = 0; // the owner window's, fetched for the call
    std::uint32_t options = 0;
    std::array<std::uint8_t, 122> devMode{};
    std::array<std::uint8_t, 108> devNames{};
};

// What it answers: the device mode as the dialog left it (the chosen printer's name, copies,
// duplex and orientation).
struct PrintResult
{
    bool confirmed = false;
    std::array<std::uint8_t, 122> devMode{};
};

// Printing a document: the print dialog starts on this printer with these settings.
struct PrintSettings
{
    std::int32_t owner = 0;
    QString documentName;
    QString deviceName; // empty: no printer is installed (the dialog can still print to a file)
    int orientation = 1;
    int duplex = 1;
    int copies = 1;
};

// The desktop's choosers behind the dialog component. Each call is modal to its owner and
// returns when the user closes the chooser. Tests pass a fake with scripted answers.
class Choosers
{
public:
    virtual ~Choosers() = default;

    virtual FontResult chooseFont(const FontRequest &request) = 0;
    virtual ColorResult chooseColor(const ColorRequest &request) = 0;
    virtual FileResult chooseFile(const FileRequest &request) = 0;
    virtual PrintResult choosePrinter(const PrintRequest &request) = 0;
    // Shows the print dialog and, when it is confirmed, calls paint with the printer chosen
    // there. False when cancelled.
    virtual bool printDocument(const PrintSettings &settings,
                               const std::function<void(QPrinter &)> &paint) = 0;

    // Pixels per logical inch, vertically, of the owner window's screen.
    virtual double logicalDpiY(std::int32_t owner) = 0;
    // The face of the font the desktop actually uses for a font record, or nothing when no
    // font can be made from it.
    virtual std::optional<QString> realisedFace(const FontRecord &font) = 0;
};

} // namespace quillet
