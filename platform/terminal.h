#pragma once
// The terminal a program's standard error may be.

#include <cstdio>

namespace vostrel::platform {

// True when `stream` is an interactive terminal (not a pipe or a file).
bool IsTerminal(std::FILE* stream);

// The width of the terminal `stream` shows on, in columns (80 when unknown).
int TerminalColumns(std::FILE* stream);

}  // namespace vostrel::platform
