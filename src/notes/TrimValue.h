#pragma once

#include "store/Value.h"

#include <QString>

namespace quillet {

// A stored value as the notes window shows it: as text, without leading and trailing spaces
// (code 32 only; tabs and line breaks stay). Empty for a Null or a value that has no text.
QString TrimValue(const Value &value);

} // namespace quillet
