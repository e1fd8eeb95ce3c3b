#include "pipeline/text_lines.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace vostrel {

namespace {
constexpr std::size_t kMinBlock = std::size_t{1} << 20;

std::size_t JoinedSize(const TextLines& lines) {
  return lines.text_bytes() + 2 * lines.size();
}
}  // namespace

TextLines::TextLines(std::initializer_list<std::string_view> lines) { *this = lines; }

TextLines::TextLines(const TextLines& other) { CopyFrom(other); }

TextLines& TextLines::operator=(const TextLines& other) {
  if (this != &other) {
    TextLines copy(other);
    *this = std::move(copy);
  }
  return *this;
}

TextLines& TextLines::operator=(std::initializer_list<std::string_view> lines) {
  TextLines fresh;
  std::size_t bytes = 0;
  for (const std::string_view line : lines) bytes += line.size();
  fresh.reserve(lines.size(), bytes);
  for (const std::string_view line : lines) fresh.push_back(line);
  *this = std::move(fresh);
  return *this;
}

void TextLines::CopyFrom(const TextLines& other) {
  reserve(other.size(), other.live_);
  for (const std::string_view line : other) push_back(line);
}

std::uint32_t TextLines::CheckedLength(std::size_t length) {
  // A line of 4 GiB or more is past what the index holds.
  if (length > std::numeric_limits<std::uint32_t>::max()) throw std::bad_alloc();
  return static_cast<std::uint32_t>(length);
}

char* TextLines::Adopt(std::string&& text) {
  if (text.empty()) return nullptr;
  held_ += text.size();
  blocks_.push_back({std::make_unique<std::string>(std::move(text)), 0});
  Block& block = blocks_.back();
  block.used = block.text->size();
  return block.text->data();
}

char* TextLines::Allocate(std::size_t bytes) {
  if (bytes == 0) return nullptr;
  if (blocks_.empty() || blocks_.back().text->size() - blocks_.back().used < bytes) {
    const std::size_t size = std::max({bytes, kMinBlock, held_ / 8});
    auto text = std::make_unique<std::string>();
    text->resize(size);
    held_ += size;
    blocks_.push_back({std::move(text), 0});
  }
  Block& block = blocks_.back();
  char* place = block.text->data() + block.used;
  block.used += bytes;
  return place;
}

void TextLines::AddLine(char* start, std::size_t length) {
  length_.push_back(CheckedLength(length));
  start_.push_back(start);
  summary_.push_back(Summarise({start, length}));
  live_ += length;
}

void TextLines::clear() {
  blocks_.clear();
  start_.clear();
  length_.clear();
  summary_.clear();
  live_ = held_ = 0;
}

void TextLines::reserve(std::size_t lines, std::size_t bytes) {
  start_.reserve(lines);
  length_.reserve(lines);
  summary_.reserve(lines);
  if (bytes > 0 && (blocks_.empty() || blocks_.back().text->size() - blocks_.back().used < bytes)) {
    auto text = std::make_unique<std::string>();
    text->resize(bytes);
    held_ += bytes;
    blocks_.push_back({std::move(text), 0});
  }
}

void TextLines::push_back(std::string_view line) {
  char* place = Allocate(line.size());
  if (!line.empty()) std::memcpy(place, line.data(), line.size());
  AddLine(place, line.size());
}

void TextLines::assign(std::size_t i, std::string_view text, LineSummary summary) {
  const std::size_t old = length_[i];
  if (text.size() <= old) {
    // memmove: the text may be a part of this very line.
    if (!text.empty()) std::memmove(start_[i], text.data(), text.size());
  } else {
    // New room never moves a byte already held, so `text` stays valid.
    char* place = Allocate(text.size());
    std::memcpy(place, text.data(), text.size());
    start_[i] = place;
  }
  length_[i] = CheckedLength(text.size());
  summary_[i] = summary;
  live_ = live_ - old + text.size();
}

void TextLines::narrow(std::size_t i, std::size_t offset, std::size_t length) {
  live_ -= length_[i] - length;
  start_[i] += offset;
  length_[i] = static_cast<std::uint32_t>(length);
}

void TextLines::move_line(std::size_t to, std::size_t from) {
  if (to == from) return;
  live_ -= length_[to];
  start_[to] = start_[from];
  length_[to] = length_[from];
  summary_[to] = summary_[from];
  start_[from] = nullptr;
  length_[from] = 0;
  summary_[from] = 0;
}

void TextLines::erase_front(std::size_t count) {
  count = std::min(count, size());
  for (std::size_t i = 0; i < count; ++i) live_ -= length_[i];
  start_.erase(start_.begin(), start_.begin() + static_cast<std::ptrdiff_t>(count));
  length_.erase(length_.begin(), length_.begin() + static_cast<std::ptrdiff_t>(count));
  summary_.erase(summary_.begin(), summary_.begin() + static_cast<std::ptrdiff_t>(count));
}

void TextLines::compact_if_wasteful() {
  if (held_ - live_ <= live_ / 2 + (std::size_t{16} << 20)) return;
  TextLines compact(*this);
  *this = std::move(compact);
}

bool TextLines::summaries_hold() const {
  for (std::size_t i = 0; i < size(); ++i)
    if (Summarise((*this)[i]) & ~summary_[i]) return false;
  return true;
}

bool operator==(const TextLines& a, const TextLines& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

TextLines TextLines::FromSource(std::string&& text) {
  TextLines lines;
  const std::size_t size = text.size();
  // One count first, so the index is allocated once and never moved.
  const std::size_t count = CountLineFeeds(text) + 1;
  lines.start_.reserve(count);
  lines.length_.reserve(count);
  lines.summary_.reserve(count);
  char* const bytes = lines.Adopt(std::move(text));
  char* const end = bytes + size;
  for (char* start = bytes; start < end;) {
    char* lf = static_cast<char*>(std::memchr(start, '\n', static_cast<std::size_t>(end - start)));
    if (!lf) lf = end;
    char* lineEnd = lf;
    // The CR of a CR LF is no part of the line.
    if (lf < end && lineEnd > start && lineEnd[-1] == '\r') --lineEnd;
    lines.AddLine(start, static_cast<std::size_t>(lineEnd - start));
    start = lf + 1;
  }
  return lines;
}

TextLines TextLines::FromCrLfText(std::string&& text) {
  TextLines lines;
  if (text.empty()) return lines;
  const std::size_t size = text.size();
  char* const bytes = lines.Adopt(std::move(text));
  std::size_t start = 0, from = 0;
  for (;;) {
    const void* found = from < size ? std::memchr(bytes + from, '\n', size - from) : nullptr;
    if (!found) {
      lines.AddLine(bytes + start, size - start);
      return lines;
    }
    const std::size_t lf = static_cast<std::size_t>(static_cast<const char*>(found) - bytes);
    from = lf + 1;
    if (lf == 0 || bytes[lf - 1] != '\r') continue;  // a lone LF stays inside its line
    lines.AddLine(bytes + start, lf - 1 - start);
    start = lf + 1;
  }
}

std::string JoinLines(const TextLines& lines) {
  std::string text;
  if (lines.empty()) return text;
  text.reserve(JoinedSize(lines));
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i) text += "\r\n";
    text += lines[i];
  }
  return text;
}

TextLines SplitAtCrLf(std::string_view text) { return TextLines::FromCrLfText(std::string(text)); }

TextLines SplitSourceText(std::string_view text) { return TextLines::FromSource(std::string(text)); }

std::string OutputBytes(const TextLines& lines) {
  std::string bytes;
  bytes.reserve(JoinedSize(lines));
  for (const std::string_view line : lines) bytes.append(line).append("\r\n", 2);
  return bytes;
}

}  // namespace vostrel
