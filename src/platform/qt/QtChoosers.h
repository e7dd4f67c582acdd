#pragma once

#include "platform/Choosers.h"

namespace quillet {

// The desktop's real choosers: our font chooser and the toolkit's colour, file and print
// dialogs, each modal to the owner window the request names.
class QtChoosers : public Choosers
{
public:
    FontResult chooseFont(const FontRequest &request) override;
    ColorResult chooseColor(const ColorRequest &request) override;
    FileResult chooseFile(const FileRequest &request) override;
    PrintResult choosePrinter(const PrintRequest &request) override;
    bool printDocument(const PrintSettings &settings,
                       const std::function<void(QPrinter &)> &paint) override;
    double logicalDpiY(std::int32_t owner) override;
    std::optional<QString> realisedFace(const FontRecord &font) override;
};

} // namespace quillet
