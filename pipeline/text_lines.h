#pragma once
// The working text: a list of Shift-JIS byte lines without terminators.
//
// The lines live back to back in a few large byte blocks (the loaded file
// itself, then blocks for lines that outgrew their place), indexed by 8
// bytes per line beside the text: a 32-bit offset from one of at most 255
// bases (a block's start, and one more every 4 GiB of a larger block), the
// base's number, a one-byte length (255 says the length is kept aside, for
// the few lines that long) and a summary of the bytes the line may hold
// (line_summary.h). A string per line would cost a heap block and some
// 40 bytes more. A line is rewritten in its own place when it does not
// grow; a longer line takes new room and its old bytes stay as waste until
// the list is compacted.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "pipeline/line_summary.h"

namespace vostrel {

class TextLines {
 public:
  class const_iterator {
   public:
    using iterator_category = std::random_access_iterator_tag;
    using value_type = std::string_view;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = std::string_view;

    const_iterator() = default;
    const_iterator(const TextLines* lines, std::size_t index) : lines_(lines), index_(index) {}
    std::string_view operator*() const { return (*lines_)[index_]; }
    std::string_view operator[](difference_type n) const { return (*lines_)[index_ + static_cast<std::size_t>(n)]; }
    const_iterator& operator++() { ++index_; return *this; }
    const_iterator operator++(int) { const_iterator old = *this; ++index_; return old; }
    const_iterator& operator--() { --index_; return *this; }
    const_iterator operator--(int) { const_iterator old = *this; --index_; return old; }
    const_iterator& operator+=(difference_type n) { index_ += static_cast<std::size_t>(n); return *this; }
    const_iterator& operator-=(difference_type n) { index_ -= static_cast<std::size_t>(n); return *this; }
    friend const_iterator operator+(const_iterator it, difference_type n) { return it += n; }
    friend const_iterator operator+(difference_type n, const_iterator it) { return it += n; }
    friend const_iterator operator-(const_iterator it, difference_type n) { return it -= n; }
    friend difference_type operator-(const const_iterator& a, const const_iterator& b) {
      return static_cast<difference_type>(a.index_) - static_cast<difference_type>(b.index_);
    }
    friend bool operator==(const const_iterator& a, const const_iterator& b) { return a.index_ == b.index_; }
    friend auto operator<=>(const const_iterator& a, const const_iterator& b) { return a.index_ <=> b.index_; }

   private:
    const TextLines* lines_ = nullptr;
    std::size_t index_ = 0;
  };
  using value_type = std::string_view;
  using size_type = std::size_t;
  using iterator = const_iterator;

  TextLines() = default;
  TextLines(std::initializer_list<std::string_view> lines);
  TextLines(const TextLines& other);
  TextLines(TextLines&&) noexcept = default;
  TextLines& operator=(const TextLines& other);
  TextLines& operator=(TextLines&&) noexcept = default;
  TextLines& operator=(std::initializer_list<std::string_view> lines);

  // The lines of `text` split as SplitSourceText / SplitAtCrLf do, kept in
  // the text itself (no copy of the bytes).
  static TextLines FromSource(std::string&& text);
  // The same from room of its own holding `size` bytes, which the lines
  // keep.
  static TextLines FromSource(std::unique_ptr<char[]> bytes, std::size_t size);
  static TextLines FromCrLfText(std::string&& text);

  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  // Views of line i (const, so that assigning to one does not compile).
  const std::string_view operator[](std::size_t i) const {
    const Entry entry = entries_[i];
    const char* const start = bases_[entry.base] + entry.offset;
    if (entry.length == kLongLine) [[unlikely]] return {start, LongLength(i)};
    return {start, entry.length};
  }
  const std::string_view front() const { return (*this)[0]; }
  const std::string_view back() const { return (*this)[size() - 1]; }
  const_iterator begin() const { return {this, 0}; }
  const_iterator end() const { return {this, size()}; }

  void clear();
  // Room for `lines` lines of `bytes` bytes in all, so that adding them
  // allocates once.
  void reserve(std::size_t lines, std::size_t bytes);
  void push_back(std::string_view line);

  // Replaces line i; `text` may be any line of the list, this one too.
  void assign(std::size_t i, std::string_view text) { assign(i, text, Summarise(text)); }
  // The same with the caller's own account of what the text may hold
  // (kHoldsAll where no later reader needs the look).
  void assign(std::size_t i, std::string_view text, LineSummary summary);
  // The bytes of line i, to change in place without changing its length.
  // Its summary then says "look" for everything until set again.
  std::span<char> bytes(std::size_t i) {
    // Read before the summary is written: a whole entry read just after
    // a write to a part of it waits for the write.
    const std::string_view line = (*this)[i];
    entries_[i].summary = kHoldsAll;
    return {const_cast<char*>(line.data()), line.size()};
  }
  // What line i may hold (see line_summary.h).
  LineSummary summary(std::size_t i) const { return entries_[i].summary; }
  // kReadEveryLine asks for every line.
  bool may_hold(std::size_t i, LineSummary what) const {
    return what == kReadEveryLine || (entries_[i].summary & what) != 0;
  }
  // The first line from i on, before `end`, that may hold any of `what`;
  // `end` when there is none.
  std::size_t next_holding(std::size_t i, LineSummary what, std::size_t end) const {
    end = end < size() ? end : size();
    if (what == kReadEveryLine) return i < end ? i : end;
    while (i < end && !(entries_[i].summary & what)) ++i;
    return i < end ? i : end;
  }
  // After an edit in place: the caller's own account of line i, or a new
  // look at its bytes.
  void set_summary(std::size_t i, LineSummary summary) { entries_[i].summary = summary; }
  void resummarise(std::size_t i) { entries_[i].summary = Summarise((*this)[i]); }
  // Line i becomes the part of itself that starts `offset` bytes in and is
  // `length` bytes long (never longer than what is there). Its summary
  // stays: a part holds nothing the whole did not.
  void narrow(std::size_t i, std::size_t offset, std::size_t length) {
    Entry& entry = entries_[i];
    const std::uint64_t from = std::uint64_t{entry.offset} + offset;
    if (entry.length == kLongLine || from >= kBaseStride) [[unlikely]] return NarrowFar(i, offset, length);
    live_ -= entry.length - length;
    entry.offset = static_cast<std::uint32_t>(from);
    entry.length = static_cast<std::uint8_t>(length);
  }
  // Line `to` becomes line `from` (whose place may then be reused); an
  // index move only, the bytes stay where they are.
  void move_line(std::size_t to, std::size_t from);
  // Deletes the first `count` lines.
  void erase_front(std::size_t count);

  // Whether every summary keeps its promise: no line holds a bit its
  // summary lacks (a check for tests and debug builds; reads every line).
  bool summaries_hold() const;

  // Bytes of all the lines, and bytes held for them (lines and waste).
  std::size_t text_bytes() const { return live_; }
  std::size_t held_bytes() const { return held_; }
  // Gathers the lines into new blocks when the waste is large, each old
  // block given back once its last line has moved; every view of a line
  // taken before is then invalid.
  void compact_if_wasteful();

  friend bool operator==(const TextLines& a, const TextLines& b);

 private:
  // A block of bytes fixed in memory (lines point into it): the adopted
  // source text, or room of its own that is never filled before use.
  struct Block {
    std::unique_ptr<std::string> adopted;  // on the heap: a short string's bytes lie inside it
    std::unique_ptr<char[]> room;
    char* data = nullptr;
    std::size_t size = 0, used = 0;
    std::size_t givenBack = 0;  // bytes at its start whose pages went back to the system
    std::size_t firstBase = 0;  // its first entry in bases_
  };
  // Where line i lies and what it may hold.
  struct Entry {
    std::uint32_t offset = 0;  // from its base
    LineSummary summary = 0;
    std::uint8_t base = 0;     // 0: no place (an empty line)
    std::uint8_t length = 0;   // kLongLine: in longLengths_
  };
  static constexpr std::uint8_t kLongLine = 255;
  // Bases lie this far apart in a block larger than one offset reaches.
  static constexpr std::uint64_t kBaseStride = std::uint64_t{1} << 32;
  void RegisterBases(Block& block);
  // `start`, which lies in the last block, as a base and an offset.
  void Place(Entry& entry, const char* start) const;
  void SetLength(std::size_t i, std::size_t length) {
    if (length >= kLongLine || entries_[i].length == kLongLine) [[unlikely]] return SetLongLength(i, length);
    entries_[i].length = static_cast<std::uint8_t>(length);
  }
  void SetLongLength(std::size_t i, std::size_t length);
  std::size_t LongLength(std::size_t i) const;
  void NarrowFar(std::size_t i, std::size_t offset, std::size_t length);
  void AddRoom(std::size_t bytes);
  static void GiveBackBefore(Block& block, const char* end);
  char* Allocate(std::size_t bytes);
  char* Adopt(std::string&& text);
  char* Adopt(std::unique_ptr<char[]> bytes, std::size_t size);
  void SplitAdopted(char* bytes, std::size_t size);
  void AddLine(char* start, std::size_t length, LineSummary summary);
  void CopyFrom(const TextLines& other);
  static std::uint32_t CheckedLength(std::size_t length);

  std::vector<Block> blocks_;
  std::vector<char*> bases_{nullptr};
  std::vector<Entry> entries_;
  std::unordered_map<std::size_t, std::uint32_t> longLengths_;  // of lines kLongLine bytes or longer
  std::size_t live_ = 0;  // sum of the line lengths
  std::size_t held_ = 0;  // sum of the block sizes
};

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
