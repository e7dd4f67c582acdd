#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <optional>

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

// The desktop's choosers behind the dialog component. Each call is modal to its owner and
// returns when the user closes the chooser. Tests pass a fake with scripted answers.
class Choosers
{
public:
    virtual ~Choosers() = default;

    virtual FontResult chooseFont(const FontRequest &request) = 0;
    virtual ColorResult chooseColor(const ColorRequest &request) = 0;

    // Pixels per logical inch, vertically, of the owner window's screen.
    virtual double logicalDpiY(std::int32_t owner) = 0;
    // The face of the font the desktop actually uses for a font record, or nothing when no
    // font can be made from it.
    virtual std::optional<QString> realisedFace(const FontRecord &font) = 0;
};

} // namespace quillet
