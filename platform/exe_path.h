#pragma once
// Where the running program lives.

#include <filesystem>

namespace vostrel::platform {

// Full path of the running executable (empty when it cannot be found).
std::filesystem::path ExecutablePath();

// The folder of the running executable (the current folder as a fallback).
std::filesystem::path ExecutableDir();

}  // namespace vostrel::platform
