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
        return next(fontAnswers, fontRequests, request);
    }

    ColorResult chooseColor(const ColorRequest &request) override
    {
        return next(colorAnswers, colorRequests, request);
    }

    FileResult chooseFile(const FileRequest &request) override
    {
        return next(fileAnswers, fileRequests, request);
    }

    PrintResult choosePrinter(const PrintRequest &request) override
    {
        return next(printAnswers, printRequests, request);
    }

    // Prints to printFile as a PDF, without a dialog; cancels when printFile is empty.
    bool printDocument(const PrintSettings &settings,
                       const std::function<void(QPrinter &)> &paint) override;

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
    QString printFile;
    std::vector<PrintSettings> printed;

private:
    // Records the request and gives the next scripted answer.
    template <class Result, class Request>
    static Result next(std::deque<Result> &answers, std::vector<Request> &requests,
                       const Request &request)
    {
        requests.push_back(request);
        if (answers.empty())
            return {};
        const Result answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

} // namespace quillet::test
