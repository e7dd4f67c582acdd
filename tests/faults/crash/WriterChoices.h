#pragma once

#include "faults/crash/WriterProtocol.h"
#include "store/Moves.h"

#include <cstddef>
#include <optional>
#include <random>
#include <string>
#include <vector>

// What the crash writer writes, drawn from its random sequence.
namespace quillet::crashtest {

// The UTF-8 bytes of a code point below 0x800.
std::string utf8(unsigned codePoint);

// Latin and Greek words and line breaks, whole words only so that no character is cut, filled
// up to size bytes with dots.
std::string makeText(std::mt19937_64 &random, std::size_t size);

// A move of a random item (never "A") under, before or after another, or to the top level,
// that the store accepts and that leaves no key longer than maxLevels characters: its plan,
// with write filled in to describe it. Nothing when a few tries find none.
std::optional<moves::Plan> chooseMove(Connection &db, const std::vector<std::string> &keys,
                                      int maxLevels, std::mt19937_64 &random, Write &write);

} // namespace quillet::crashtest
