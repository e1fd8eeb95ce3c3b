#include "pipeline/text_lines.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>
#include <new>

#if __has_include(<sys/mman.h>)
#include <sys/mman.h>
#include <unistd.h>
#endif

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
  Block& block = blocks_.emplace_back();
  block.adopted = std::make_unique<std::string>(std::move(text));
  block.data = block.adopted->data();
  block.size = block.used = block.adopted->size();
  return block.data;
}

char* TextLines::Adopt(std::unique_ptr<char[]> bytes, std::size_t size) {
  if (size == 0) return nullptr;
  held_ += size;
  Block& block = blocks_.emplace_back();
  block.room = std::move(bytes);
  block.data = block.room.get();
  block.size = block.used = size;
  return block.data;
}

void TextLines::AddRoom(std::size_t bytes) {
  Block& block = blocks_.emplace_back();
  // Not filled: pages are taken from the system only as lines are written.
  block.room.reset(new char[bytes]);
  block.data = block.room.get();
  block.size = bytes;
  held_ += bytes;
}

char* TextLines::Allocate(std::size_t bytes) {
  if (bytes == 0) return nullptr;
  if (blocks_.empty() || blocks_.back().size - blocks_.back().used < bytes)
    AddRoom(std::max({bytes, kMinBlock, held_ / 8}));
  Block& block = blocks_.back();
  char* place = block.data + block.used;
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
  if (bytes > 0 && (blocks_.empty() || blocks_.back().size - blocks_.back().used < bytes)) AddRoom(bytes);
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

namespace {

// The pages of a large block below `end`, which no line uses any more, go
// back to the system while the block itself stays until its last line has
// moved (where the system allows it; elsewhere they stay until then).
void GiveBackPages(char* data, std::size_t size, std::size_t& givenBack, const char* end) {
#if __has_include(<sys/mman.h>)
  constexpr std::size_t kStep = std::size_t{16} << 20;
  const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  if (size < 4 * kStep || page == 0) return;
  const auto start = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t from = (start + givenBack + page - 1) / page * page;
  const std::uintptr_t to = reinterpret_cast<std::uintptr_t>(end) / page * page;
  if (to <= from || to - from < kStep) return;
  madvise(reinterpret_cast<void*>(from), to - from, MADV_DONTNEED);
  givenBack = to - start;
#else
  (void)data, (void)size, (void)givenBack, (void)end;
#endif
}

}  // namespace

void TextLines::GiveBackBefore(Block& block, const char* end) {
  GiveBackPages(block.data, block.size, block.givenBack, end);
}

void TextLines::compact_if_wasteful() {
  if (held_ - live_ <= live_ / 2 + (std::size_t{16} << 20)) return;
  // How many lines each old block holds, found by address.
  std::vector<Block> old = std::move(blocks_);
  blocks_.clear();
  held_ = 0;
  // The blocks by address (kept apart: a block given back has none).
  std::vector<std::pair<const char*, std::size_t>> byAddress(old.size());
  for (std::size_t b = 0; b < old.size(); ++b) byAddress[b] = {old[b].data, b};
  const std::less<const char*> before;
  std::sort(byAddress.begin(), byAddress.end(), [&](const auto& a, const auto& b) { return before(a.first, b.first); });
  auto blockOf = [&](const char* start) {
    std::size_t low = 0, high = byAddress.size();
    while (high - low > 1) {
      const std::size_t mid = (low + high) / 2;
      if (!before(start, byAddress[mid].first)) low = mid;
      else high = mid;
    }
    return byAddress[low].second;
  };
  std::vector<std::size_t> linesIn(old.size(), 0);
  std::vector<const char*> lastEnd(old.size(), nullptr);
  std::vector<char> inOrder(old.size(), 1);  // whether a block's lines lie in it in line order, apart
  for (std::size_t i = 0; i < size(); ++i) {
    if (length_[i] == 0) continue;
    const std::size_t b = blockOf(start_[i]);
    ++linesIn[b];
    if (lastEnd[b] && before(start_[i], lastEnd[b])) inOrder[b] = 0;
    lastEnd[b] = start_[i] + length_[i];
  }
  // The lines move in order into new blocks of at most a sixteenth of the
  // text each; an old block goes as soon as its last line has moved, so
  // the old and the new text are never held whole side by side (unless one
  // old block holds lines from first to last).
  const std::size_t piece = std::max(std::min(kMinBlock, live_), live_ / 16);
  for (std::size_t i = 0; i < size(); ++i) {
    if (length_[i] == 0) {
      start_[i] = nullptr;
      continue;
    }
    const std::size_t b = blockOf(start_[i]);
    if (blocks_.empty() || blocks_.back().size - blocks_.back().used < length_[i])
      AddRoom(std::max<std::size_t>(piece, length_[i]));
    char* place = Allocate(length_[i]);
    std::memcpy(place, start_[i], length_[i]);
    const char* const done = start_[i] + length_[i];
    start_[i] = place;
    if (--linesIn[b] == 0) old[b] = Block{};
    else if (inOrder[b]) GiveBackBefore(old[b], done);
  }
}

bool TextLines::summaries_hold() const {
  for (std::size_t i = 0; i < size(); ++i)
    if (Summarise((*this)[i]) & ~summary_[i]) return false;
  return true;
}

bool operator==(const TextLines& a, const TextLines& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

void TextLines::SplitAdopted(char* bytes, std::size_t size) {
  // Room for the index as four samples of 16 KiB spread over the text
  // foretell it (a little more; a short text is counted whole), so that it
  // is seldom moved and never much larger than needed.
  constexpr std::size_t kSample = std::size_t{1} << 14;
  std::size_t expected = 0;
  if (size <= 4 * kSample) {
    expected = CountLineFeeds({bytes, size}) + 1;
  } else {
    std::size_t lineFeeds = 0;
    for (std::size_t part = 0; part < 4; ++part) lineFeeds += CountLineFeeds({bytes + size / 4 * part, kSample});
    expected = static_cast<std::size_t>(static_cast<double>(lineFeeds) * static_cast<double>(size) / (4.0 * kSample) * 1.0625) + 64;
  }
  start_.reserve(expected);
  length_.reserve(expected);
  summary_.reserve(expected);
  class Appender final : public LineSink {
   public:
    explicit Appender(TextLines& lines) : lines_(lines) {}
    void Line(const char* start, std::size_t length, LineSummary summary) override {
      lines_.length_.push_back(CheckedLength(length));
      lines_.start_.push_back(const_cast<char*>(start));
      lines_.summary_.push_back(summary);
      lines_.live_ += length;
    }

   private:
    TextLines& lines_;
  };
  Appender appender(*this);
  SplitSourceLines({bytes, size}, appender);
}

TextLines TextLines::FromSource(std::string&& text) {
  TextLines lines;
  const std::size_t size = text.size();
  lines.SplitAdopted(lines.Adopt(std::move(text)), size);
  return lines;
}

TextLines TextLines::FromSource(std::unique_ptr<char[]> bytes, std::size_t size) {
  TextLines lines;
  lines.SplitAdopted(lines.Adopt(std::move(bytes), size), size);
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
