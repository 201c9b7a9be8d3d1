#pragma once

#include <string>

// Joins the operands argv[1] .. argv[argc - 1] with single spaces. Nothing
// in them is interpreted; with argc at 1 or less, argv is not read.
std::string echo(int argc, char** argv);
