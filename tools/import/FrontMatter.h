#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillet::dbtool {

// The title a Markdown file's YAML front matter gives it, as notes clients and static-site
// tools write the real title there and a mangled one in the file's name. The file starts with
// the line "---" (after a byte-order mark, if any), a later line "---" closes the front
// matter, and a line between them holds the key "title:" at its start with a plain,
// single-quoted or double-quoted scalar on that line. Nothing when there is no such title, or
// one written any other way (a block, a flow collection, a tag, an alias, a scalar over several
// lines, an empty or null value): the file's name titles it then.
std::optional<std::string> frontMatterTitle(std::string_view text);

} // namespace quillet::dbtool
