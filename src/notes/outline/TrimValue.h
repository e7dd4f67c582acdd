#pragma once

#include "store/Value.h"

#include <QString>

#include <string>
#include <string_view>

namespace quillet {

// Stored text (UTF-8 bytes) as the toolkit's text; bytes that are not UTF-8 show as
// replacement characters, and so does NUL, which the toolkit may take for the text's end.
inline QString fromStored(std::string_view bytes)
{
    QString text = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    if (bytes.find('\0') != std::string_view::npos)
        text.replace(QChar(u'\0'), QChar::ReplacementCharacter);
    return text;
}

// A stored value as the notes window shows it: as text, without leading and trailing spaces
// (code 32 only; tabs and line breaks stay). Empty for a Null or a value that has no text.
QString TrimValue(const Value &value);

// A key as its row stores it, surrounding spaces and all, so that the row is found again.
std::string storedKeyOf(const Value &key);

} // namespace quillet
