#pragma once

#include "text/XmlReader.h"

#include <string>
#include <string_view>

namespace quillet::dbtool {

// An XML document the tool imports: the text library's reader, converting any encoding the
// toolkit knows (by the name a document declares or the byte-order mark it begins with).
class XmlInput : public XmlReader
{
public:
    explicit XmlInput(const std::string &path);
    XmlInput(std::string_view bytes, std::string where);
};

} // namespace quillet::dbtool
