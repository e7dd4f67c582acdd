#pragma once

#include <string>

namespace quillet {

// What the command line asks for before anything else is done: running the program, or an
// answer written out at once (help, the version, or why the line was not understood), with the
// exit status. It is answered before the application object is made, so that it needs no
// display and touches no file.
struct OptionsAnswer
{
    bool run = true;
    int status = 0;
    std::string out; // for standard output
    std::string err; // for standard error
};

// argv[0] is the program's name as started. Besides --help (-h) and --version, the toolkit's
// own options (-style, -platform and the rest) are let through to it; anything else is refused
// with the usage, status 2.
OptionsAnswer answerOptions(int argc, const char *const argv[], const char *version);

} // namespace quillet
