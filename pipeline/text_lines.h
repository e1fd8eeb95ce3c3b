#pragma once
// The working text: a list of Shift-JIS byte lines without terminators.

#include <string>
#include <string_view>
#include <vector>

namespace vostrel {

using TextLines = std::vector<std::string>;

// Whole-text view: the lines joined with CR LF between them.
std::string JoinLines(const TextLines& lines);

// Exact inverse of JoinLines: split at every CR LF; only the empty text
// gives no lines, and a text ending in CR LF gives an empty last line.
TextLines SplitAtCrLf(std::string_view text);

// Lines of a loaded source: split at CR LF and at a lone LF; a lone CR stays
// inside its line; a line end at the very end adds no empty last line.
TextLines SplitSourceText(std::string_view text);

// Bytes of an output file: every line followed by CR LF; no lines, no bytes.
std::string OutputBytes(const TextLines& lines);

}  // namespace vostrel
