#pragma once

#include <atomic>
#include <string>

namespace quillet {

// What a look through a database file for damage found.
struct DamageFinding
{
    enum class Outcome {
        Sound,     // the engine's quick check passed
        Damaged,   // problem says, in plain words, what was found or why the file could not be read
        NotChecked // stopped, or another program held the file locked past the wait
    };
    Outcome outcome = Outcome::NotChecked;
    std::string problem;
};

// Runs the engine's quick check of the file on a read-only connection of its own; safe to call
// from a thread of its own. Setting stop makes a check under way give up soon.
DamageFinding quickCheck(const std::string &path, const std::atomic<bool> &stop);

} // namespace quillet
