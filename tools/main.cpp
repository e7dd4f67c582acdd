#include "tools/commands/DbTool.h"

#include <exception>
#include <iostream>

int main(int argc, char **argv)
{
    try {
        return quillet::dbtool::run(std::vector<std::string>(argv + 1, argv + argc), std::cout,
                                    std::cerr);
    } catch (const std::exception &error) {
        // Running out of memory or a stream failure: say so rather than abort.
        std::cerr << "quillet-db: " << error.what() << '\n';
        return 1;
    }
}
