#pragma once
// Writing a compiled program: every line followed by CR LF, in the bytes
// of the lines (never from screen text).

#include <filesystem>
#include <string>

#include "pipeline/text_lines.h"
#include "platform/atomic_file.h"

namespace vostrel {

// Writes the lines into `sink` through a 1 MiB buffer; false as soon as a
// write fails.
bool WriteLines(const platform::ByteSink& sink, const TextLines& lines);

// Writes the lines to `path` whole or not at all (platform/atomic_file.h):
// a failed write leaves an existing file as it was. On failure `error` says
// why.
bool SaveLines(const std::filesystem::path& path, const TextLines& lines, std::string* error,
               platform::SaveRules rules = {});

}  // namespace vostrel
