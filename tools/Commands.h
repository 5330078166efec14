// q6tool's commands beyond report and save.
#pragma once

#include <string>

// Lists every chunk of FILE and what loading did with it. Exit status 0 when
// the file loads, 1 when it does not.
int ChunksCommand(const std::string& file);
