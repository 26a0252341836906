// Which Tarnwick.dll the tests load into the stand-in framework, and where.
#pragma once

#include <string>

#include "standin/loaded_module.h"
#include "standin/waits.h"

// The folder of the running test program, where the build puts every binary.
std::string BinaryFolder();

// The Tarnwick.dll under test: GCC's, the one that ships, beside the program;
// with TARNWICK_DLL_COMPILER=clang, clang's build in clang\.
std::string ModulePath();
