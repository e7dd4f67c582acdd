#include "notes/editor/FoundMatches.h"

#include "text/TextMatch.h"

#include <algorithm>

namespace quillet {

std::vector<WordSpan> matchesIn(const QString &text, const TextMatch &match)
{
    // The search reads UTF-8; the editor counts UTF-16 units. Each match's bytes are turned
    // into units from the end of the one before, so the whole text is converted once.
    const QByteArray bytes = text.toUtf8();
    const std::string_view all(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    std::vector<WordSpan> found;
    std::size_t byteAt = 0;
    qsizetype unitAt = 0;
    const auto unitsOf = [&](std::size_t from, std::size_t to) {
        return QString::fromUtf8(all.substr(from, to - from)).size();
    };
    for (std::optional<TextMatch::Found> next = match.find(all); next;
         next = match.find(all, next->start + std::max<std::size_t>(next->length, 1))) {
        const qsizetype start = unitAt + unitsOf(byteAt, next->start);
        const qsizetype length = unitsOf(next->start, next->start + next->length);
        found.push_back({start, length});
        byteAt = next->start + next->length;
        unitAt = start + length;
    }
    return found;
}

} // namespace quillet
