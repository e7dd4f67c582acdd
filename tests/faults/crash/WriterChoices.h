#pragma once

#include "faults/crash/WriterProtocol.h"
#include "store/MovePlan.h"

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

// A copy a deletion kept, and the deleted item's key.
struct KeptCopy
{
    std::string file;
    std::string key;
};

// An undelete of a random one of copies under a random item (or at the top level) where the
// store gives its rows new IDs (the item or a sibling there has a higher ID than the copy's
// item) and no key grows past maxLevels characters: the copy's index, with write filled in to
// describe it. Nothing when there is no copy or a few tries find no place.
// The copies must be of deletions that were made: a kill between a deletion's copy and its
// commit leaves a copy of rows that stay, and such a copy put back after a later deletion of
// the same rows brings an older text back with the versions of the newer ones, which the
// test's check by tag cannot tell from another note's.
std::optional<std::size_t> chooseUndelete(Connection &db, const std::vector<KeptCopy> &copies,
                                          const std::vector<std::string> &keys, int maxLevels,
                                          std::mt19937_64 &random, Write &write);

} // namespace quillet::crashtest
