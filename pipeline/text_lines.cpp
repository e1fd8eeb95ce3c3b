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
constexpr std::size_t kMaxBases = 256;

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
  RegisterBases(block);
  return block.data;
}

char* TextLines::Adopt(std::unique_ptr<char[]> bytes, std::size_t size) {
  if (size == 0) return nullptr;
  held_ += size;
  Block& block = blocks_.emplace_back();
  block.room = std::move(bytes);
  block.data = block.room.get();
  block.size = block.used = size;
  RegisterBases(block);
  return block.data;
}

void TextLines::AddRoom(std::size_t bytes) {
  Block& block = blocks_.emplace_back();
  // Not filled: pages are taken from the system only as lines are written.
  block.room.reset(new char[bytes]);
  block.data = block.room.get();
  block.size = bytes;
  held_ += bytes;
  RegisterBases(block);
}

void TextLines::RegisterBases(Block& block) {
  if (bases_.empty()) bases_.push_back(nullptr);
  block.firstBase = bases_.size();
  const std::uint64_t count = std::max<std::uint64_t>(1, (block.size + kBaseStride - 1) / kBaseStride);
  // Past what the index holds (blocks grow by an eighth of the text, so
  // this takes a text far beyond any memory).
  if (bases_.size() + count > kMaxBases) throw std::bad_alloc();
  for (std::uint64_t k = 0; k < count; ++k) bases_.push_back(block.data + static_cast<std::size_t>(k * kBaseStride));
}

void TextLines::Place(Entry& entry, const char* start) const {
  if (!start) {
    entry.base = 0;
    entry.offset = 0;
    return;
  }
  const Block& block = blocks_.back();
  const auto from = static_cast<std::uint64_t>(start - block.data);
  entry.base = static_cast<std::uint8_t>(block.firstBase + from / kBaseStride);
  entry.offset = static_cast<std::uint32_t>(from % kBaseStride);
}

std::size_t TextLines::LongLength(std::size_t i) const { return longLengths_.at(i); }

void TextLines::SetLongLength(std::size_t i, std::size_t length) {
  Entry& entry = entries_[i];
  if (length >= kLongLine) {
    longLengths_[i] = CheckedLength(length);
    entry.length = kLongLine;
  } else {
    if (entry.length == kLongLine) longLengths_.erase(i);
    entry.length = static_cast<std::uint8_t>(length);
  }
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

void TextLines::AddLine(char* start, std::size_t length, LineSummary summary) {
  Entry& entry = entries_.emplace_back();
  entry.summary = summary;
  Place(entry, start);
  SetLength(entries_.size() - 1, length);
  live_ += length;
}

void TextLines::clear() {
  blocks_.clear();
  bases_.assign(1, nullptr);
  entries_.clear();
  longLengths_.clear();
  live_ = held_ = 0;
}

void TextLines::reserve(std::size_t lines, std::size_t bytes) {
  entries_.reserve(lines);
  if (bytes > 0 && (blocks_.empty() || blocks_.back().size - blocks_.back().used < bytes)) AddRoom(bytes);
}

void TextLines::push_back(std::string_view line) {
  char* place = Allocate(line.size());
  if (!line.empty()) std::memcpy(place, line.data(), line.size());
  AddLine(place, line.size(), Summarise(line));
}

void TextLines::assign(std::size_t i, std::string_view text, LineSummary summary) {
  const std::string_view line = (*this)[i];
  const std::size_t old = line.size();
  if (text.size() <= old) {
    // memmove: the text may be a part of this very line.
    if (!text.empty()) std::memmove(const_cast<char*>(line.data()), text.data(), text.size());
  } else {
    // New room never moves a byte already held, so `text` stays valid.
    char* place = Allocate(text.size());
    std::memcpy(place, text.data(), text.size());
    Place(entries_[i], place);
  }
  SetLength(i, text.size());
  entries_[i].summary = summary;
  live_ = live_ - old + text.size();
}

void TextLines::NarrowFar(std::size_t i, std::size_t offset, std::size_t length) {
  Entry& entry = entries_[i];
  live_ -= (*this)[i].size() - length;
  // The part may start past the next base of a block larger than 4 GiB.
  const std::uint64_t from = std::uint64_t{entry.offset} + offset;
  if (entry.base != 0) entry.base = static_cast<std::uint8_t>(entry.base + from / kBaseStride);
  entry.offset = static_cast<std::uint32_t>(from % kBaseStride);
  SetLength(i, length);
}

void TextLines::move_line(std::size_t to, std::size_t from) {
  if (to == from) return;
  live_ -= (*this)[to].size();
  const std::size_t length = (*this)[from].size();
  if (!longLengths_.empty()) {
    longLengths_.erase(to);
    longLengths_.erase(from);
  }
  entries_[to] = entries_[from];
  entries_[to].length = 0;
  SetLength(to, length);
  entries_[from] = Entry{};
}

void TextLines::erase_front(std::size_t count) {
  count = std::min(count, size());
  for (std::size_t i = 0; i < count; ++i) live_ -= (*this)[i].size();
  entries_.erase(entries_.begin(), entries_.begin() + static_cast<std::ptrdiff_t>(count));
  if (longLengths_.empty()) return;
  std::unordered_map<std::size_t, std::uint32_t> shifted;
  for (const auto& [i, length] : longLengths_)
    if (i >= count) shifted.emplace(i - count, length);
  longLengths_ = std::move(shifted);
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
  std::vector<Block> old = std::move(blocks_);
  std::vector<char*> oldBases = std::move(bases_);
  blocks_.clear();
  bases_.assign(1, nullptr);
  held_ = 0;
  // The old block each base lies in.
  std::vector<std::size_t> blockOfBase(oldBases.size(), 0);
  for (std::size_t b = 0; b < old.size(); ++b) {
    const std::uint64_t count = std::max<std::uint64_t>(1, (old[b].size + kBaseStride - 1) / kBaseStride);
    for (std::uint64_t k = 0; k < count; ++k) blockOfBase[old[b].firstBase + static_cast<std::size_t>(k)] = b;
  }
  // How many lines each old block holds.
  const std::less<const char*> before;
  std::vector<std::size_t> linesIn(old.size(), 0);
  std::vector<const char*> lastEnd(old.size(), nullptr);
  std::vector<char> inOrder(old.size(), 1);  // whether a block's lines lie in it in line order, apart
  for (std::size_t i = 0; i < size(); ++i) {
    const Entry entry = entries_[i];
    if (entry.length == 0) continue;
    const char* const start = oldBases[entry.base] + entry.offset;
    const std::size_t b = blockOfBase[entry.base];
    ++linesIn[b];
    if (lastEnd[b] && before(start, lastEnd[b])) inOrder[b] = 0;
    // The length from the entry: the bases it was read through are gone.
    lastEnd[b] = start + (entry.length == kLongLine ? LongLength(i) : entry.length);
  }
  // The lines move in order into new blocks of at most a sixteenth of the
  // text each; an old block goes as soon as its last line has moved, so
  // the old and the new text are never held whole side by side (unless one
  // old block holds lines from first to last).
  const std::size_t piece = std::max(std::min(kMinBlock, live_), live_ / 16);
  for (std::size_t i = 0; i < size(); ++i) {
    Entry& entry = entries_[i];
    if (entry.length == 0) {
      entry.base = 0;
      entry.offset = 0;
      continue;
    }
    const std::size_t length = entry.length == kLongLine ? LongLength(i) : entry.length;
    const char* const start = oldBases[entry.base] + entry.offset;
    const std::size_t b = blockOfBase[entry.base];
    if (blocks_.empty() || blocks_.back().size - blocks_.back().used < length)
      AddRoom(std::max<std::size_t>(piece, length));
    char* place = Allocate(length);
    std::memcpy(place, start, length);
    Place(entry, place);
    if (--linesIn[b] == 0) old[b] = Block{};
    else if (inOrder[b]) GiveBackBefore(old[b], start + length);
  }
}

bool TextLines::summaries_hold() const {
  for (std::size_t i = 0; i < size(); ++i)
    if (Summarise((*this)[i]) & ~entries_[i].summary) return false;
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
  entries_.reserve(expected);
  class Appender final : public LineSink {
   public:
    explicit Appender(TextLines& lines)
        : lines_(lines), data_(lines.blocks_.empty() ? nullptr : lines.blocks_.back().data),
          base_(lines.blocks_.empty() ? 0 : lines.blocks_.back().firstBase) {}
    void Line(const char* start, std::size_t length, LineSummary summary) override {
      const auto from = static_cast<std::uint64_t>(start - data_);
      if (length >= kLongLine || from >= kBaseStride) [[unlikely]] {
        lines_.AddLine(const_cast<char*>(start), length, summary);
        return;
      }
      Entry& entry = lines_.entries_.emplace_back();
      entry.offset = static_cast<std::uint32_t>(from);
      entry.summary = summary;
      entry.base = static_cast<std::uint8_t>(base_);
      entry.length = static_cast<std::uint8_t>(length);
      lines_.live_ += length;
    }

   private:
    TextLines& lines_;
    const char* data_;
    std::size_t base_;
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
      lines.AddLine(bytes + start, size - start, Summarise({bytes + start, size - start}));
      return lines;
    }
    const std::size_t lf = static_cast<std::size_t>(static_cast<const char*>(found) - bytes);
    from = lf + 1;
    if (lf == 0 || bytes[lf - 1] != '\r') continue;  // a lone LF stays inside its line
    lines.AddLine(bytes + start, lf - 1 - start, Summarise({bytes + start, lf - 1 - start}));
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
