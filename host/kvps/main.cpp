// kvps: see kvps.h.
#include <iostream>

#include "kvps.h"

int main(int argc, char **argv)
{
    kvps::Args args(argv + 1, argv + argc);
    return kvps::Run(args, kvps::Io{std::cout, std::cerr});
}
