#pragma once

#include "platform/Choosers.h"

#include <deque>
#include <vector>

namespace quillet::test {

// Records every chooser request and answers from a script; an empty script cancels.
class FakeChoosers : public Choosers
{
public:
    FontResult chooseFont(const FontRequest &request) override
    {
        fontRequests.push_back(request);
        if (fontAnswers.empty())
            return {};
        const FontResult answer = fontAnswers.front();
        fontAnswers.pop_front();
        return answer;
    }

    ColorResult chooseColor(const ColorRequest &request) override
    {
        colorRequests.push_back(request);
        if (colorAnswers.empty())
            return {};
        const ColorResult answer = colorAnswers.front();
        colorAnswers.pop_front();
        return answer;
    }

    FileResult chooseFile(const FileRequest &request) override
    {
        fileRequests.push_back(request);
        if (fileAnswers.empty())
            return {};
        const FileResult answer = fileAnswers.front();
        fileAnswers.pop_front();
        return answer;
    }

    PrintResult choosePrinter(const PrintRequest &request) override
    {
        printRequests.push_back(request);
        if (printAnswers.empty())
            return {};
        const PrintResult answer = printAnswers.front();
        printAnswers.pop_front();
        return answer;
    }

    double logicalDpiY(std::int32_t) override { return dpi; }

    std::optional<QString> realisedFace(const FontRecord &font) override
    {
        if (!realisable)
            return std::nullopt;
        return font.face();
    }

    // A confirmed colour answer.
    static ColorResult color(std::int32_t color);
    // A confirmed file answer: the path and its name, each followed by NULs.
    static FileResult file(const QString &path, const QString &title);
    // A confirmed font answer.
    static FontResult font(const char *face, std::int32_t tenths, std::int32_t color, bool bold,
                           bool italic);

    double dpi = 96;
    bool realisable = true;
    std::deque<FontResult> fontAnswers;
    std::deque<ColorResult> colorAnswers;
    std::vector<FontRequest> fontRequests;
    std::vector<ColorRequest> colorRequests;
    std::deque<FileResult> fileAnswers;
    std::vector<FileRequest> fileRequests;
    std::deque<PrintResult> printAnswers;
    std::vector<PrintRequest> printRequests;
};

} // namespace quillet::test
