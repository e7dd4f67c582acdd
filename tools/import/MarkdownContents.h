#pragma once

#include <map>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <utility>

namespace quillet::dbtool {

// Whether a name is a Markdown file's: ".md", in any case, after at least one character.
bool isMarkdownName(std::string_view name);

// Tells whether folders hold a Markdown file at any depth, so that a folder with none (an
// empty notebook, a folder of attachments) is not made an item. What counts is what the
// reading takes: a plain .md file that is not hidden, in the folder or any folder below. What
// cannot be examined counts as Markdown, so that the reading meets it and says why it cannot
// be read. Each folder is listed once, however often it is reached through links, and no
// deeper than a Markdown file is found.
class MarkdownFinder
{
public:
    // Asks about the folder called name in the open folder at.
    bool holdsMarkdown(int at, const std::string &name);

private:
    std::map<std::pair<dev_t, ino_t>, bool> m_known;
};

} // namespace quillet::dbtool
