#include "pipeline/text_lines.h"

#include <algorithm>

#include "text/sjis.h"

namespace vostrel {

namespace {
std::size_t TotalSize(const TextLines& lines) {
  std::size_t size = 0;
  for (const auto& line : lines) size += line.size() + 2;
  return size;
}
}  // namespace

std::string JoinLines(const TextLines& lines) {
  std::string text;
  if (lines.empty()) return text;
  text.reserve(TotalSize(lines));
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i) text += "\r\n";
    text += lines[i];
  }
  return text;
}

TextLines SplitAtCrLf(std::string_view text) {
  TextLines lines;
  if (text.empty()) return lines;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = sjis::FindBytes(text, "\r\n", start);
    if (end == std::string_view::npos) {
      lines.emplace_back(text.substr(start));
      return lines;
    }
    lines.emplace_back(text.substr(start, end - start));
    start = end + 2;
  }
}

TextLines SplitSourceText(std::string_view text) {
  TextLines lines;
  // One count first, so the list is allocated once and never moved.
  lines.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t lf = text.find('\n', start);
    if (lf == std::string_view::npos) {
      lines.emplace_back(text.substr(start));
      break;
    }
    std::size_t end = lf;
    if (end > start && text[end - 1] == '\r') --end;
    lines.emplace_back(text.substr(start, end - start));
    start = lf + 1;
  }
  return lines;
}

std::string OutputBytes(const TextLines& lines) {
  std::string bytes;
  bytes.reserve(TotalSize(lines));
  for (const auto& line : lines) {
    bytes.append(line).append("\r\n", 2);
  }
  return bytes;
}

}  // namespace vostrel
