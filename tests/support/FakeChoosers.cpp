#include "support/FakeChoosers.h"

#include <QPrinter>

#include <cstring>

namespace quillet::test {

bool FakeChoosers::printDocument(const PrintSettings &settings,
                                 const std::function<void(QPrinter &)> &paint)
{
    printed.push_back(settings);
    if (printFile.isEmpty())
        return false;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(printFile);
    paint(printer);
    return true;
}

ColorResult FakeChoosers::color(std::int32_t color)
{
    ColorResult result;
    result.confirmed = true;
    result.color = color;
    return result;
}

FileResult FakeChoosers::file(const QString &path, const QString &title)
{
    return FileResult{true, path + QString(255 - path.size(), QChar(u'\0')),
                      title + QString(255 - title.size(), QChar(u'\0'))};
}

FontResult FakeChoosers::font(const char *face, std::int32_t tenths, std::int32_t color, bool bold,
                              bool italic)
{
    FontResult result;
    result.confirmed = true;
    std::strncpy(result.font.faceName.data(), face, 32);
    result.font.weight = bold ? 700 : 400;
    result.font.italic = italic ? 1 : 0;
    result.pointSize = tenths;
    result.color = color;
    result.fontType = 0x2000 | (bold ? 0x100u : 0u);
    return result;
}

} // namespace quillet::test
