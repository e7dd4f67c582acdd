#pragma once

#include <stdexcept>

namespace quillet {

// A document cannot be read as the kind of file it should be: the reason, naming the file and,
// for text, the line. Nothing was made of it.
class InputRefused : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

} // namespace quillet
